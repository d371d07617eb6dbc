#include "check/file_bytes.hpp"

#include <algorithm>
#include <cstring>


namespace check {

FileBytes load_file(std::string_view path) {
  FileBytes file;
  platform::InputFile input;
  file.open_error = input.open(path);
  if (file.open_error != platform::OpenError::None) return file;
  // Read straight into the string's room, doubling it as the file turns out longer.
  std::size_t used = 0;
  file.bytes.resize(std::size_t{1} << 16);
  for (;;) {
    if (used == file.bytes.size()) file.bytes.resize(2 * used);
    const std::ptrdiff_t n = input.read(file.bytes.data() + used, file.bytes.size() - used);
    if (n <= 0) {
      file.read_failed = n < 0;
      break;
    }
    used += static_cast<std::size_t>(n);
  }
  file.bytes.resize(used);
  return file;
}

std::ptrdiff_t BytesSource::read(char* buffer, std::size_t n) {
  const std::size_t k = std::min(n, file_.bytes.size() - pos_);
  if (k == 0) return file_.read_failed ? -1 : 0;
  std::memcpy(buffer, file_.bytes.data() + pos_, k);
  pos_ += k;
  return static_cast<std::ptrdiff_t>(k);
}

}  // namespace check
