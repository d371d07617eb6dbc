// gmgather: gathers the ground-motion results of source-fault and case folders into a set
// of result files. Asks for the definition file on the console, or takes it as its argument.
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/program.hpp"
#include "parallel/pool.hpp"
#include "platform/console.hpp"
#include "platform/interrupt.hpp"
#include "platform/process.hpp"
#include "tables/run_tables.hpp"

int main(int argc, char** argv) {
  platform::prepare_process();
  // Before the pool starts its threads: the handlers are the process's own.
  platform::watch_for_interrupts();
  const std::vector<std::string> arguments = platform::program_arguments(argc, argv);
  platform::Console& console = platform::host_console();
  // The run's threads, started once here; a setting that is not taken as it stands says so.
  std::string note;
  const int threads = parallel::thread_count(std::getenv("GMGATHER_THREADS"), &note);
  if (!note.empty()) console.write_error(note + "\r\n");
  std::string encoding_note;
  const gm::OutputEncoding encoding = gm::output_encoding(std::getenv("GMGATHER_ENCODING"), &encoding_note);
  if (!encoding_note.empty()) console.write_error(encoding_note + "\r\n");
  const parallel::Pool pool(threads);
  return gm::run_program(console, platform::host_session(), gm::run_tables, arguments, pool, encoding);
}
