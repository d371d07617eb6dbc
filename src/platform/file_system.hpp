#pragma once
// The file calls that put a result set in place and finish one a stopped run left, behind
// one interface: the program hands them the host's file system, a test one that fails
// whichever call it is told to. Every call says what happened; none throws. Paths are as
// the program builds them (Shift-JIS, backslashes), as for the functions of fs.hpp.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/fs.hpp"

namespace platform {

// A file being written. The calls may come from any one thread at a time: a file is
// flushed on a pool thread other than the one that wrote it.
class WrittenFile {
 public:
  virtual ~WrittenFile() = default;
  // Writes all n bytes; false when the host refused any of them.
  virtual bool write(const char* data, std::size_t n) noexcept = 0;
  // Puts every byte written so far on the disk itself (see OutputFile::flush_to_disk).
  virtual bool flush_to_disk() noexcept = 0;
  // Releases the file; false when the host reports a failure on closing. Further calls
  // of write and flush_to_disk fail.
  virtual bool close() noexcept = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Creates the file, or empties the one of that name; null, with `error` set, when refused.
  virtual std::unique_ptr<WrittenFile> create(std::string_view path, OpenError& error) = 0;
  // Up to `limit` bytes from the start of an existing file into `bytes`; Other when a
  // read failed part way.
  virtual OpenError read_start(std::string_view path, std::size_t limit, std::string& bytes) = 0;
  // As the functions of fs.hpp of the same names.
  virtual OpenError replace_file(std::string_view from, std::string_view to) = 0;
  virtual OpenError remove_file(std::string_view path) = 0;
  virtual bool flush_folder_of(std::string_view path) = 0;
  virtual FileKind file_kind(std::string_view path) = 0;
  virtual OpenError check_replaceable(std::string_view path) = 0;
  virtual OpenError check_creatable_beside(std::string_view path) = 0;
};

// The host's own files; one for the whole program, safe to use from every thread.
FileSystem& host_file_system();

}  // namespace platform
