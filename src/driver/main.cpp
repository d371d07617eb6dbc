// gmgather: gathers the ground-motion results of source-fault and case folders into six
// result files. Asks for the definition file on the console, or takes it as its argument.
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/program.hpp"
#include "parallel/workers.hpp"
#include "platform/console.hpp"
#include "platform/memory.hpp"
#include "platform/process.hpp"
#include "tables/run_tables.hpp"

int main(int argc, char** argv) {
  platform::prepare_process();
  platform::prefer_large_pages(&gm::run_tables, sizeof gm::run_tables);
  const std::vector<std::string> arguments = platform::program_arguments(argc, argv);
  return gm::run_program(platform::host_console(), platform::host_session(), gm::run_tables, arguments,
                         parallel::thread_count(std::getenv("GMGATHER_THREADS")));
}
