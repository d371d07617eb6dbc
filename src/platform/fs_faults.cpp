#include "platform/fs_faults.hpp"

#include <string>

#include "platform/fs.hpp"

namespace platform {
namespace {

// Set by a test before it writes files; only read afterwards, so no thread sees it change.
std::string& refused_path_end() {
  static std::string end;
  return end;
}

}  // namespace

void refuse_flushes_for_testing(std::string_view sjis_path_end) {
  refused_path_end().assign(sjis_path_end);
}

bool flush_refused_for_testing(std::string_view sjis_path) {
  const std::string& end = refused_path_end();
  return !end.empty() && sjis_path.ends_with(end);
}

}  // namespace platform
