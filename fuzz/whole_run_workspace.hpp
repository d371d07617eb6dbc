#pragma once
// The whole-run fuzz target's side of the folder: how an input is cut into the console
// answer, the input files and what the run is asked for, and the scratch folder the runs
// work in, laid out before each run and put back after it.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "check.hpp"
#include "driver/run_console.hpp"
#include "results/result_files.hpp"
#include "tables/run_tables.hpp"

namespace whole_run {

using fuzzing::fail;
using fuzzing::require;

inline constexpr std::string_view kSeparator = "====";

// The input files a run may meet, by piece name and host (UTF-8) path.
struct InputFile {
  std::string piece;
  std::string path;
};

inline std::vector<InputFile> make_input_files() {
  std::vector<InputFile> files{{"def", "def.csv"}};
  for (int k = 1; k <= gm::kRunMaxFaults; ++k) {
    const std::string f = "f" + std::to_string(k);
    files.push_back({f, f + "/Velmora長周期.csv"});
  }
  files.push_back({"fj", "F3_南海/Velmora長周期.csv"});
  for (int c = 1; c <= gm::kRunMaxCases; ++c) {
    const std::string name = "c" + std::to_string(c);
    files.push_back({name, name + "/加速度波形.acc"});
  }
  files.push_back({"cj", "C07_追加検討/加速度波形.acc"});
  return files;
}

// The result files: host names, and the Shift-JIS names the reports give.
inline constexpr int kResultCount = 6;
inline const std::array<std::string, kResultCount> kResultHostNames = {
    "入力用･目標速度スペクトル.csv",       "入力用･位相用加速度波形.csv",
    "参考･各震源断層の速度スペクトル.csv", "参考･各ケースの加速度波形.csv",
    "参考･各ケースの速度波形.csv",         "参考･各ケースの最大速度.csv",
};
inline constexpr std::array<std::string_view, kResultCount> kResultNames = {
    results::kTargetSpectrumFile,   results::kPhaseWaveformFile, results::kFaultSpectraFile,
    results::kCaseAccelerationFile, results::kCaseVelocityFile,  results::kPeakVelocityFile,
};

// The report page, which joins the set as unit 27 when asked for.
inline constexpr int kPageUnit = 27;
inline const std::string kPageHostName = "参考･結果図表.html";
inline const std::string kEarlierPage = "a report page of an earlier run\n";

// The response spectra file, unit 28 of the set when asked for: a title, the column heads
// and a row per period (55).
inline constexpr int kSpectraUnit = 28;
inline constexpr std::size_t kSpectraLines = 57;
inline const std::string kSpectraHostName = "参考･各ケースの応答スペクトル.csv";
inline const std::string kEarlierSpectra = "response spectra of an earlier run\r\n";
// The design wave, which joins the set as unit 29 when asked for; no earlier one is laid
// out, so only a normal end of a run asked for it leaves one.
inline const std::string kFittedWaveHostName = "入力用･模擬地震波形.csv";

// The suffix of the temporary name a result file is first written under, and that of the
// backup name the earlier file is kept under while the new ones go in; the marker.
inline constexpr std::string_view kTemporarySuffix = ".part";
inline constexpr std::string_view kBackupSuffix = ".old";
inline const std::string kMarkerHostName = "gmgather-unfinished.txt";

inline std::string earlier_result(int k) {
  return "result " + std::to_string(k + 1) + " of an earlier run\r\n";
}

// What one input asks for.
struct Request {
  std::string_view console;
  std::vector<std::optional<std::string_view>> files;  // by index into the input files
  std::array<bool, kResultCount> result_is_folder{};
  std::array<bool, kResultCount> temporary_is_folder{};
  std::array<bool, kResultCount> backup_is_folder{};
  // What a stopped run (or another program) left: the marker's bytes, and files under the
  // temporary and backup names of result file 1 .. 6.
  std::optional<std::string_view> marker;
  std::array<std::optional<std::string_view>, kResultCount> stale_temporary{};
  std::array<std::optional<std::string_view>, kResultCount> stale_backup{};
  std::optional<std::uint64_t> size_limit;
  bool report = false;
  bool spectra = false;
  bool fit = false;

  // Whether the start of a run has anything to finish, leave or name here.
  bool leaves_something() const {
    bool any = marker.has_value();
    for (std::size_t i = 0; i < kResultCount; ++i) {
      any |= temporary_is_folder[i] || backup_is_folder[i] || stale_temporary[i].has_value() ||
             stale_backup[i].has_value();
    }
    return any;
  }
};

inline std::optional<int> numbered(std::string_view name, char letter, int last) {
  if (name.size() < 2 || name[0] != letter) return std::nullopt;
  int n = 0;
  for (const char c : name.substr(1)) {
    if (c < '0' || c > '9' || n > last) return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > last || name[1] == '0') return std::nullopt;
  return n;
}

inline Request split_input(std::string_view input, const std::vector<InputFile>& input_files) {
  Request request;
  request.files.resize(input_files.size());
  // Where the current piece goes, decided by the separator line before it.
  std::string_view name = "console";
  std::size_t piece_start = 0;
  const auto file_piece = [&](std::string_view piece) {
    if (name == "console") {
      request.console = piece;
      return;
    }
    for (std::size_t i = 0; i < input_files.size(); ++i) {
      if (input_files[i].piece == name) request.files[i] = piece;
    }
    if (const auto k = numbered(name, 'r', kResultCount)) {
      request.result_is_folder[static_cast<std::size_t>(*k - 1)] = true;
    }
    if (const auto k = numbered(name, 't', kResultCount)) {
      request.temporary_is_folder[static_cast<std::size_t>(*k - 1)] = true;
    }
    if (const auto k = numbered(name, 'o', kResultCount)) {
      request.backup_is_folder[static_cast<std::size_t>(*k - 1)] = true;
    }
    if (const auto k = numbered(name, 'p', kResultCount)) request.stale_temporary[static_cast<std::size_t>(*k - 1)] = piece;
    if (const auto k = numbered(name, 'b', kResultCount)) request.stale_backup[static_cast<std::size_t>(*k - 1)] = piece;
    if (name == "marker") request.marker = piece;
    if (name == "report") request.report = true;
    if (name == "spectra") request.spectra = true;
    if (name == "fit") request.fit = true;
    if (name == "limit") {
      std::uint64_t limit = 0;
      for (const char c : piece) {
        if (c >= '0' && c <= '9' && limit < 1'000'000'000) {
          limit = limit * 10 + static_cast<std::uint64_t>(c - '0');
        }
      }
      request.size_limit = limit + input.size();
    }
  };
  std::size_t line_start = 0;
  while (line_start <= input.size()) {
    const std::size_t lf = input.find('\n', line_start);
    const std::size_t line_end = lf == std::string_view::npos ? input.size() : lf;
    const std::string_view line = input.substr(line_start, line_end - line_start);
    const std::size_t next = lf == std::string_view::npos ? input.size() + 1 : lf + 1;
    if (line.substr(0, kSeparator.size()) == kSeparator) {
      file_piece(input.substr(piece_start, line_start - piece_start));
      std::string_view label = line.substr(kSeparator.size());
      while (!label.empty() && (label.front() == ' ' || label.front() == '\t')) {
        label.remove_prefix(1);
      }
      while (!label.empty() && (label.back() == ' ' || label.back() == '\r')) {
        label.remove_suffix(1);
      }
      name = label;
      piece_start = std::min(next, input.size());
    }
    line_start = next;
  }
  file_piece(input.substr(piece_start));
  return request;
}

// The scratch folder the runs work in.
class Workspace {
 public:
  Workspace() : input_files_(make_input_files()) {
    std::string base = "/dev/shm";
    struct stat st {};
    if (::stat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        ::access(base.c_str(), W_OK) != 0) {
      base = std::filesystem::temp_directory_path().string();
    }
    std::string templ = base + "/gmgather-fuzz-XXXXXX";
    if (::mkdtemp(templ.data()) == nullptr) fail("cannot make the scratch folder", templ);
    root_ = templ;
    for (const InputFile& f : input_files_) {
      std::filesystem::create_directories(std::filesystem::path(host(f.path)).parent_path());
    }
    input_present_.assign(input_files_.size(), false);
    for (int k = 0; k < kResultCount; ++k) write_file(result_path(k), earlier_result(k));
    write_file(page_path(), kEarlierPage);
    write_file(spectra_path(), kEarlierSpectra);
    root_fd_ = ::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    home_fd_ = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    require(root_fd_ >= 0 && home_fd_ >= 0, "cannot open the scratch and working folders");
  }
  ~Workspace() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  const std::vector<InputFile>& input_files() const { return input_files_; }
  const std::string& root() const { return root_; }
  std::string host(std::string_view relative) const { return root_ + "/" + std::string(relative); }
  std::string result_path(int k) const {
    return host(kResultHostNames[static_cast<std::size_t>(k)]);
  }
  std::string temporary_path(int k) const { return result_path(k) + std::string(kTemporarySuffix); }
  std::string backup_path(int k) const { return result_path(k) + std::string(kBackupSuffix); }
  std::string page_path() const { return host(kPageHostName); }
  std::string marker_path() const { return host(kMarkerHostName); }
  std::string spectra_path() const { return host(kSpectraHostName); }

  // Lays out the input files of a request; files of an earlier input that this one does
  // not have are removed.
  void lay_out(const Request& request) {
    for (std::size_t i = 0; i < input_files_.size(); ++i) {
      if (request.files[i]) {
        write_file(host(input_files_[i].path), *request.files[i]);
        input_present_[i] = true;
      } else if (input_present_[i]) {
        ::unlink(host(input_files_[i].path).c_str());
        input_present_[i] = false;
      }
    }
    for (int k = 0; k < kResultCount; ++k) {
      if (request.result_is_folder[static_cast<std::size_t>(k)]) {
        ::unlink(result_path(k).c_str());
        ::mkdir(result_path(k).c_str(), 0755);
      }
      if (request.temporary_is_folder[static_cast<std::size_t>(k)]) {
        ::mkdir(temporary_path(k).c_str(), 0755);
      }
      if (request.backup_is_folder[static_cast<std::size_t>(k)]) {
        ::mkdir(backup_path(k).c_str(), 0755);
      }
      // A folder asked for under the same name wins.
      const auto i = static_cast<std::size_t>(k);
      if (request.stale_temporary[i] && !request.temporary_is_folder[i]) {
        write_file(temporary_path(k), *request.stale_temporary[i]);
      }
      if (request.stale_backup[i] && !request.backup_is_folder[i]) write_file(backup_path(k), *request.stale_backup[i]);
    }
    if (request.marker) write_file(marker_path(), *request.marker);
  }

  // Puts the folder back as lay_out found it: every result file holding its earlier
  // content, no folder in the place of a file.
  void restore(const Request& request, bool results_rewritten) {
    // What a stopped run left, or the start made of it: the start may have put some files
    // in place, removed others, or left them all.
    if (request.leaves_something()) {
      results_rewritten = true;
      ::unlink(marker_path().c_str());
      for (int k = 0; k < kResultCount; ++k) {
        ::unlink(temporary_path(k).c_str());
        ::unlink(backup_path(k).c_str());
      }
    }
    for (int k = 0; k < kResultCount; ++k) {
      const auto i = static_cast<std::size_t>(k);
      if (request.temporary_is_folder[i]) ::rmdir(temporary_path(k).c_str());
      if (request.backup_is_folder[i]) ::rmdir(backup_path(k).c_str());
      if (request.result_is_folder[i]) ::rmdir(result_path(k).c_str());
      if (request.result_is_folder[i] || results_rewritten) {
        write_file(result_path(k), earlier_result(k));
      }
    }
    // A normal end rewrote the page and the spectra file, or took them away.
    if (results_rewritten) {
      write_file(page_path(), kEarlierPage);
      write_file(spectra_path(), kEarlierSpectra);
    }
    ::unlink(host(kFittedWaveHostName).c_str());
  }

  // Runs `body` with the scratch folder as the working folder.
  template <class Body>
  int in_folder(Body&& body) {
    require(::fchdir(root_fd_) == 0, "cannot enter the scratch folder");
    const int status = body();
    require(::fchdir(home_fd_) == 0, "cannot return to the working folder");
    return status;
  }

  static std::optional<std::string> read_file(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
      bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (n < 0) return std::nullopt;
    return bytes;
  }

  static bool is_folder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  // The names in the scratch folder itself.
  std::set<std::string> entries() const {
    std::set<std::string> names;
    DIR* dir = ::opendir(root_.c_str());
    require(dir != nullptr, "cannot list the scratch folder");
    while (const dirent* e = ::readdir(dir)) {
      const std::string_view name = e->d_name;
      if (name != "." && name != "..") names.emplace(name);
    }
    ::closedir(dir);
    return names;
  }

  // What the scratch folder must hold after a run of `request`.
  std::set<std::string> expected_entries(const Request& request, int status) const {
    std::set<std::string> names;
    for (std::size_t i = 0; i < input_files_.size(); ++i) {
      // The folders are always there; a file at the top (def.csv) only with its piece.
      const std::string& path = input_files_[i].path;
      const std::string top = path.substr(0, path.find('/'));
      if (top != path || input_present_[i]) names.insert(top);
    }
    if (status != gm::kExitNormal || request.report) names.insert(kPageHostName);
    if (status != gm::kExitNormal || request.spectra) names.insert(kSpectraHostName);
    if (status == gm::kExitNormal && request.fit) names.insert(kFittedWaveHostName);
    for (int k = 0; k < kResultCount; ++k) {
      const auto i = static_cast<std::size_t>(k);
      names.insert(kResultHostNames[i]);
      if (request.temporary_is_folder[i]) {
        names.insert(kResultHostNames[i] + std::string(kTemporarySuffix));
      }
      if (request.backup_is_folder[i]) names.insert(kResultHostNames[i] + std::string(kBackupSuffix));
    }
    return names;
  }

 private:
  static void write_file(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    require(fd >= 0, "cannot write an input file", path);
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      require(n > 0, "cannot write an input file", path);
      done += static_cast<std::size_t>(n);
    }
    ::close(fd);
  }

  std::vector<InputFile> input_files_;
  std::vector<bool> input_present_;
  std::string root_;
  int root_fd_ = -1;
  int home_fd_ = -1;
};

}  // namespace whole_run
