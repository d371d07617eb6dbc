#pragma once
// File systems for tests of the staging, the commit and the recovery: one in memory (a
// flat folder of names), and one that passes every call on to another and fails the calls
// it is told to, by their order in the run or by kind and name, keeping a log of them all.
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.hpp"

namespace testing_support {

using platform::FileKind;
using platform::OpenError;

// A flat folder in memory: every path is one name. A folder is shown as "<folder>".
class MemoryFileSystem : public platform::FileSystem {
 public:
  static constexpr std::string_view kFolder = "<folder>";

  void put(const std::string& path, std::string bytes) { entries_[path] = std::move(bytes); }
  std::map<std::string, std::string> entries() const {
    const std::lock_guard lock(mutex_);
    return entries_;
  }

  std::unique_ptr<platform::WrittenFile> create(std::string_view path, OpenError& error) override {
    const std::lock_guard lock(mutex_);
    error = kind(path) == FileKind::Folder ? OpenError::AccessDenied : OpenError::None;
    if (error != OpenError::None) return nullptr;
    entries_[std::string(path)].clear();
    return std::make_unique<File>(*this, std::string(path));
  }
  OpenError read_start(std::string_view path, std::size_t limit, std::string& bytes) override {
    const std::lock_guard lock(mutex_);
    if (kind(path) != FileKind::File) return kind(path) == FileKind::Missing ? OpenError::NotFound : OpenError::AccessDenied;
    bytes = entries_[std::string(path)].substr(0, limit);
    return OpenError::None;
  }
  OpenError replace_file(std::string_view from, std::string_view to) override {
    const std::lock_guard lock(mutex_);
    if (kind(from) == FileKind::Missing) return OpenError::NotFound;
    if (kind(from) == FileKind::Folder || kind(to) == FileKind::Folder) return OpenError::AccessDenied;
    auto node = entries_.extract(std::string(from));
    node.key() = to;
    entries_.erase(std::string(to));
    entries_.insert(std::move(node));
    return OpenError::None;
  }
  OpenError remove_file(std::string_view path) override {
    const std::lock_guard lock(mutex_);
    if (kind(path) == FileKind::Folder) return OpenError::AccessDenied;
    entries_.erase(std::string(path));
    return OpenError::None;
  }
  bool flush_folder_of(std::string_view) override { return true; }
  FileKind file_kind(std::string_view path) override {
    const std::lock_guard lock(mutex_);
    return kind(path);
  }
  OpenError check_replaceable(std::string_view path) override {
    return file_kind(path) == FileKind::Folder ? OpenError::AccessDenied : OpenError::None;
  }
  OpenError check_creatable_beside(std::string_view) override { return OpenError::None; }

 private:
  class File : public platform::WrittenFile {
   public:
    File(MemoryFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
    bool write(const char* data, std::size_t n) noexcept override {
      const std::lock_guard lock(fs_.mutex_);
      if (open_) fs_.entries_[path_].append(data, n);
      return open_;
    }
    bool flush_to_disk() noexcept override { return open_; }
    bool close() noexcept override { return !(open_ = false); }

   private:
    MemoryFileSystem& fs_;
    std::string path_;
    bool open_ = true;
  };
  FileKind kind(std::string_view path) const {
    const auto it = entries_.find(std::string(path));
    if (it == entries_.end()) return FileKind::Missing;
    return it->second == kFolder ? FileKind::Folder : FileKind::File;
  }

  mutable std::mutex mutex_;
  std::map<std::string, std::string> entries_;
};

// The calls, by kind, as the log names them.
enum class Call { Create, Write, Flush, Close, Read, Replace, Remove, FlushFolder, Kind, CheckReplaceable, CheckCreatable };

struct LoggedCall {
  Call call;
  std::string path;  // the first path of a rename
  bool failed;
};

// Passes every call on to `inner`, except the ones it fails: those change nothing and
// answer as a refusing host does (AccessDenied, false, FileKind::Other). A close that
// fails still releases the file.
class FailingFileSystem : public platform::FileSystem {
 public:
  explicit FailingFileSystem(platform::FileSystem& inner) : inner_(inner) {}

  // Fails the n-th call from now on (1-based), counting calls of every kind.
  void fail_call(std::size_t n) { fail_at_ = log_.size() + n; }
  // Fails every call of `call` on a path ending in `path_end`.
  void fail(Call call, std::string path_end) { rules_.push_back({call, std::move(path_end)}); }
  std::vector<LoggedCall> log() const {
    const std::lock_guard lock(mutex_);
    return log_;
  }

  std::unique_ptr<platform::WrittenFile> create(std::string_view path, OpenError& error) override {
    if (fails(Call::Create, path)) return error = OpenError::AccessDenied, nullptr;
    std::unique_ptr<platform::WrittenFile> file = inner_.create(path, error);
    if (!file) return nullptr;
    return std::make_unique<File>(*this, std::string(path), std::move(file));
  }
  OpenError read_start(std::string_view path, std::size_t limit, std::string& bytes) override {
    return fails(Call::Read, path) ? OpenError::Other : inner_.read_start(path, limit, bytes);
  }
  OpenError replace_file(std::string_view from, std::string_view to) override {
    return fails(Call::Replace, from) ? OpenError::AccessDenied : inner_.replace_file(from, to);
  }
  OpenError remove_file(std::string_view path) override {
    return fails(Call::Remove, path) ? OpenError::AccessDenied : inner_.remove_file(path);
  }
  bool flush_folder_of(std::string_view path) override {
    return !fails(Call::FlushFolder, path) && inner_.flush_folder_of(path);
  }
  FileKind file_kind(std::string_view path) override {
    return fails(Call::Kind, path) ? FileKind::Other : inner_.file_kind(path);
  }
  OpenError check_replaceable(std::string_view path) override {
    return fails(Call::CheckReplaceable, path) ? OpenError::AccessDenied : inner_.check_replaceable(path);
  }
  OpenError check_creatable_beside(std::string_view path) override {
    return fails(Call::CheckCreatable, path) ? OpenError::AccessDenied : inner_.check_creatable_beside(path);
  }

 private:
  class File : public platform::WrittenFile {
   public:
    File(FailingFileSystem& fs, std::string path, std::unique_ptr<platform::WrittenFile> inner)
        : fs_(fs), path_(std::move(path)), inner_(std::move(inner)) {}
    bool write(const char* data, std::size_t n) noexcept override {
      return !fs_.fails(Call::Write, path_) && inner_->write(data, n);
    }
    bool flush_to_disk() noexcept override { return !fs_.fails(Call::Flush, path_) && inner_->flush_to_disk(); }
    bool close() noexcept override {
      if (closed_) return true;  // a second close is no call of the host's
      closed_ = true;
      const bool failed = fs_.fails(Call::Close, path_);
      return inner_->close() && !failed;
    }

   private:
    FailingFileSystem& fs_;
    std::string path_;
    std::unique_ptr<platform::WrittenFile> inner_;
    bool closed_ = false;
  };
  struct Rule {
    Call call;
    std::string path_end;
  };
  // Logs the call and tells whether it is to fail.
  bool fails(Call call, std::string_view path) noexcept {
    const std::lock_guard lock(mutex_);
    bool failed = log_.size() + 1 == fail_at_;
    for (const Rule& r : rules_) failed |= r.call == call && path.ends_with(r.path_end);
    log_.push_back({call, std::string(path), failed});
    return failed;
  }

  platform::FileSystem& inner_;
  mutable std::mutex mutex_;
  std::vector<LoggedCall> log_;
  std::vector<Rule> rules_;
  std::size_t fail_at_ = 0;
};

}  // namespace testing_support
