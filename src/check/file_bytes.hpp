#pragma once
// An input file read once, whole: the same bytes go to the record layer's reader (which
// reads them as a run reads the file) and to the scans of a check.
#include <string>
#include <string_view>

#include "platform/fs.hpp"
#include "textio/record_reader.hpp"

namespace check {

struct FileBytes {
  platform::OpenError open_error = platform::OpenError::None;
  std::string bytes;
  bool read_failed = false;  // the host failed a read after these bytes
};

// Opens the file by its path as the program built it and reads all of it.
FileBytes load_file(std::string_view path);

// The bytes as a reader's source: they, then the host's failure where it failed a read
// (the reader reports that as it would reading the file), else the end.
class BytesSource : public textio::ByteSource {
 public:
  explicit BytesSource(const FileBytes& file) noexcept : file_(file) {}
  std::ptrdiff_t read(char* buffer, std::size_t n) override;

 private:
  const FileBytes& file_;
  std::size_t pos_ = 0;
};

}  // namespace check
