// gmgather: gathers the ground-motion results of source-fault and case folders into six
// result files. Takes no arguments; asks for the definition file on the console.
#include <cstdlib>

#include "driver/run.hpp"
#include "parallel/workers.hpp"
#include "tables/run_tables.hpp"
#include "platform/console.hpp"

int main() {
  platform::prepare_process();
  gm::RunOptions options;
  options.threads = parallel::thread_count(std::getenv("GMGATHER_THREADS"));
  return gm::run(platform::host_console(), gm::run_tables, options);
}
