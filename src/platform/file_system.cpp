#include "platform/file_system.hpp"

#include <utility>

namespace platform {
namespace {

class HostFile : public WrittenFile {
 public:
  explicit HostFile(OutputFile file) : file_(std::move(file)) {}
  bool write(const char* data, std::size_t n) noexcept override { return file_.write(data, n); }
  bool flush_to_disk() noexcept override { return file_.flush_to_disk(); }
  bool close() noexcept override { return file_.close(); }

 private:
  OutputFile file_;
};

class HostFileSystem : public FileSystem {
 public:
  std::unique_ptr<WrittenFile> create(std::string_view path, OpenError& error) override {
    OutputFile file;
    error = file.create(path);
    if (error != OpenError::None) return nullptr;
    return std::make_unique<HostFile>(std::move(file));
  }

  OpenError read_start(std::string_view path, std::size_t limit, std::string& bytes) override {
    InputFile file;
    bytes.clear();
    if (const OpenError error = file.open(path); error != OpenError::None) return error;
    bytes.resize(limit);
    std::size_t size = 0;
    while (size < limit) {
      const std::ptrdiff_t got = file.read(bytes.data() + size, limit - size);
      if (got < 0) {
        bytes.clear();
        return OpenError::Other;
      }
      if (got == 0) break;
      size += static_cast<std::size_t>(got);
    }
    bytes.resize(size);
    return OpenError::None;
  }

  OpenError replace_file(std::string_view from, std::string_view to) override {
    return platform::replace_file(from, to);
  }
  OpenError remove_file(std::string_view path) override { return platform::remove_file(path); }
  bool flush_folder_of(std::string_view path) override { return platform::flush_folder_of(path); }
  FileKind file_kind(std::string_view path) override { return platform::file_kind(path); }
  OpenError check_replaceable(std::string_view path) override { return platform::check_replaceable(path); }
  OpenError check_creatable_beside(std::string_view path) override {
    return platform::check_creatable_beside(path);
  }
};

}  // namespace

FileSystem& host_file_system() {
  static HostFileSystem host;
  return host;
}

}  // namespace platform
