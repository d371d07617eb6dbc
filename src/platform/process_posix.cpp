// The process on a POSIX host: its arguments, and a terminal that outlives it.
#include "platform/process.hpp"
#include "platform/posix_iconv.hpp"

#include <string>

namespace platform {
namespace {

// A terminal outlives the program: the process is never alone on a console here, so the
// questions of a console window of its own are never asked.
class PosixSession final : public Session {
 public:
  bool alone_on_console() override { return false; }
  std::optional<std::string> enter_folder_of(std::string_view) override { return std::nullopt; }
  std::string working_folder() override { return "."; }
};

}  // namespace

std::vector<std::string> program_arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(utf8_to_cp932(argv[i]));
  return arguments;
}

Session& host_session() {
  static PosixSession session;
  return session;
}

}  // namespace platform
