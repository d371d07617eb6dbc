#include "commit/names.hpp"

#include "platform/shift_jis.hpp"

namespace commit {

std::string_view folder_prefix_of(std::string_view sjis_path) {
  std::size_t cut = 0;
  for (std::size_t i = 0; i < sjis_path.size(); ++i) {
    const auto c = static_cast<unsigned char>(sjis_path[i]);
    if (platform::is_lead_byte(c) && i + 1 < sjis_path.size() &&
        platform::is_trail_byte(static_cast<unsigned char>(sjis_path[i + 1]))) {
      ++i;
    } else if (c == '\\' || c == '/') {
      cut = i + 1;
    }
  }
  return sjis_path.substr(0, cut);
}

}  // namespace commit
