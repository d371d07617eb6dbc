#pragma once
// Runs the built program in a folder with given console input and collects what it wrote,
// and makes scratch folders for such runs.
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

struct RunResult {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or -1 when the program did not exit normally
  // The child's peak resident memory in KiB, as the kernel counts it (ru_maxrss). The
  // count starts in the forked child, so it includes what the test process had resident.
  long peak_rss_kib = 0;
};

// What starts the program under test: empty when it runs by itself, else a program that
// is given its path (wine for the Windows build). Tests of what the launched program cannot
// meet, or the launcher cannot pass on, skip on this.
inline std::string launcher() { return GMGATHER_E2E_LAUNCHER; }

// `file_size_limit` (bytes, 0 for none) caps every file the program writes. `start` is
// the launcher of `exe`; an empty one runs it by itself (a native reference build). The
// program gets `arguments` after its name (the launcher passes them on). `threads`, when
// not empty, is the program's GMGATHER_THREADS setting; `environment` holds further
// settings, "NAME=VALUE" each.
inline RunResult run_program(const std::string& exe, const std::filesystem::path& folder,
                             const std::string& input, rlim_t file_size_limit = 0,
                             const std::string& start = launcher(),
                             const std::vector<std::string>& arguments = {},
                             const std::string& threads = {},
                             const std::vector<std::string>& environment = {}) {
  std::vector<const char*> argv;
  if (!start.empty()) argv.push_back(start.c_str());
  argv.push_back(exe.c_str());
  for (const std::string& a : arguments) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) std::abort();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    if (chdir(folder.c_str()) != 0) _exit(127);
    if (file_size_limit > 0) {
      const rlimit limit{file_size_limit, file_size_limit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
    }
    if (!threads.empty() && setenv("GMGATHER_THREADS", threads.c_str(), 1) != 0) _exit(127);
    for (const std::string& setting : environment) {
      const std::size_t eq = setting.find('=');
      if (setenv(setting.substr(0, eq).c_str(), setting.substr(eq + 1).c_str(), 1) != 0) _exit(127);
    }
    execv(argv[0], const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  // Feed the input and drain both outputs together, so that no pipe fills up.
  RunResult result;
  std::size_t written = 0;
  int in_fd = in[1];
  if (input.empty()) {
    close(in_fd);
    in_fd = -1;
  }
  bool out_open = true, err_open = true;
  while (out_open || err_open) {
    pollfd fds[3];
    nfds_t n = 0;
    if (out_open) fds[n++] = {out[0], POLLIN, 0};
    if (err_open) fds[n++] = {err[0], POLLIN, 0};
    if (in_fd >= 0) fds[n++] = {in_fd, POLLOUT, 0};
    const int ready = poll(fds, n, 60000);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      // A minute without a byte in or out: the program hangs. End it, so the test fails
      // (status -1) instead of waiting for it forever.
      kill(pid, SIGKILL);
      break;
    }
    for (nfds_t i = 0; i < n; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == in_fd) {
        const ssize_t k = write(in_fd, input.data() + written, input.size() - written);
        if (k > 0) written += static_cast<std::size_t>(k);
        if (k <= 0 || written == input.size()) {
          close(in_fd);
          in_fd = -1;
        }
        continue;
      }
      char buffer[65536];
      const ssize_t k = read(fds[i].fd, buffer, sizeof buffer);
      std::string& target = fds[i].fd == out[0] ? result.out : result.err;
      if (k > 0) {
        target.append(buffer, static_cast<std::size_t>(k));
      } else {
        (fds[i].fd == out[0] ? out_open : err_open) = false;
      }
    }
  }
  if (in_fd >= 0) close(in_fd);
  close(out[0]);
  close(err[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.peak_rss_kib = usage.ru_maxrss;
  return result;
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string templ = (std::filesystem::temp_directory_path() / "gmgather-XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) std::abort();
    path_ = templ;
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

  // Writes a file (creating its folders); `relative` is a host path (UTF-8 on Linux).
  void write(const std::string& relative, const std::string& bytes) const {
    const std::filesystem::path p = path_ / std::filesystem::path(relative);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
  }
  std::string read(const std::string& relative) const {
    std::ifstream in(path_ / std::filesystem::path(relative), std::ios::binary | std::ios::ate);
    if (!in) return {};
    // In one piece: result files run to tens of megabytes.
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
  }
  // Every regular file below the folder, by its path relative to it, with its bytes.
  std::map<std::string, std::string> snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(path_)) {
      if (!e.is_regular_file()) continue;
      const std::string relative = std::filesystem::relative(e.path(), path_).string();
      files[relative] = read(relative);
    }
    return files;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace testing_support
