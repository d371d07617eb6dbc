// The process on a POSIX host. A terminal stays open after the program, so nothing here
// ever needs to keep a window open.
#include "platform/process.hpp"
#include "platform/fs.hpp"
#include "platform/posix_iconv.hpp"
#include "platform/shift_jis.hpp"

#include <cerrno>
#include <string>

#include <unistd.h>

namespace platform {
namespace {

// Bytes of `path` up to its last separator ('/' or a '\' that is not the second byte of a
// double-byte character); empty when there is none.
std::string_view folder_part(std::string_view path) {
  std::size_t end = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto c = static_cast<unsigned char>(path[i]);
    if (is_lead_byte(c) && i + 1 < path.size() && is_trail_byte(static_cast<unsigned char>(path[i + 1]))) {
      ++i;
    } else if (c == '/' || c == '\\') {
      end = i + 1;
    }
  }
  return path.substr(0, end);
}

class PosixSession final : public Session {
 public:
  bool alone_on_console() override { return false; }

  std::optional<std::string> enter_folder_of(std::string_view sjis_path) override {
    const std::string_view folder = folder_part(sjis_path);
    const bool absolute = !sjis_path.empty() && (sjis_path[0] == '/' || sjis_path[0] == '\\');
    std::string full = absolute ? std::string(sjis_path) : working_folder() + "/" + std::string(sjis_path);
    if (folder.empty()) return full;
    if (folder.find('\0') != std::string_view::npos) return std::nullopt;
    if (::chdir(host_path(folder).c_str()) != 0) return std::nullopt;
    return full;
  }

  std::string working_folder() override {
    std::string buffer(256, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
      if (errno != ERANGE) return ".";
      buffer.resize(buffer.size() * 2);
    }
    buffer.resize(buffer.find('\0'));
    return utf8_to_cp932(buffer);
  }
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
