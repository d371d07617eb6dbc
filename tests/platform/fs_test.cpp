// Host files: the path spelling and how open, read, write and their failures come back.
#include "platform/console.hpp"
#include "platform/fs.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <iconv.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/cp932.hpp"

namespace {

using platform::OpenError;

using testing_support::to_cp932;

struct HostPathCase {
  const char* label;
  std::string sjis;        // the program's path
  const char* sjis_text;   // UTF-8 text that `sjis` encodes, or nullptr for invalid bytes
  std::string expected;    // the host spelling
};

TEST(HostPath, MapsSeparatorsAndConvertsToUtf8) {
  const std::vector<HostPathCase> cases = {
      {"ascii", "faults\\F3\\a.csv", "faults\\F3\\a.csv", "faults/F3/a.csv"},
      // faults\F3_南海\Velmora長周期.csv
      {"japanese folder and file", "faults\\F3_\x93\xEC\x8A\x43\\Velmora\x92\xB7\x8E\xFC\x8A\xFA.csv",
       "faults\\F3_南海\\Velmora長周期.csv", "faults/F3_南海/Velmora長周期.csv"},
      // data\表.csv: 表 ends in 0x5C
      {"trail byte 0x5C in 表", "data\\\x95\x5C.csv", "data\\表.csv", "data/表.csv"},
      // ソ\x: ソ ends in 0x5C, then a real separator
      {"trail byte 0x5C before separator", "\x83\x5C\\x", "ソ\\x", "ソ/x"},
      // ―\\a: 0x81 0x5C then two separators
      {"lead byte before doubled separator", "\x81\x5C\\\\a", "―\\\\a", "―//a"},
      // ｱ\･: half-width katakana are single bytes and never swallow a separator
      {"half-width katakana", "\xB1\\\xA5", "ｱ\\･", "ｱ/･"},
      {"doubled backslash", "a\\\\b", "a\\\\b", "a//b"},
      {"invalid byte", "\xFF\\a", nullptr, "\xFF/a"},
      {"unassigned pair", "\x85\x40\\a", nullptr, "\x85\x40/a"},
      // a folder named in raw bytes still finds 長周期.csv inside it
      {"raw folder, Japanese file", "\xFF\\\x92\xB7\x8E\xFC\x8A\xFA.csv", nullptr, "\xFF/長周期.csv"},
      {"lead byte without trail", "ab\\\x81", nullptr, "ab/\x81"},
      {"lead byte before a non-trail byte", "\x81 \\b", nullptr, "\x81 /b"},
      {"empty", "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    if (c.sjis_text != nullptr) {
      EXPECT_EQ(to_cp932(c.sjis_text), c.sjis) << "test input is not the text it claims";
    }
    EXPECT_EQ(platform::host_path(c.sjis), c.expected);
  }
}

// A fresh folder per test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    char name[] = "/tmp/gm_platform_XXXXXX";
    if (mkdtemp(name) != nullptr) path_ = name;
  }
  ~TempDir() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  bool ok() const { return !path_.empty(); }
  // The host spelling of the folder, for direct checks on disk.
  const std::string& host() const { return path_; }
  // A program path inside the folder: Shift-JIS name, backslash separator.
  std::string program_path(std::string_view sjis_name) const { return path_ + "\\" + std::string(sjis_name); }

 private:
  std::string path_;
};

void write_host_file(const std::string& path, std::string_view bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  ASSERT_EQ(std::fclose(f), 0);
}

std::string read_host_file(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  std::string bytes(ec ? 0 : size, '\0');
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return "(cannot open)";
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
  std::fclose(f);
  return bytes;
}

std::string read_all(platform::InputFile& in, std::size_t chunk) {
  std::string all;
  std::vector<char> buffer(chunk);
  for (;;) {
    const std::ptrdiff_t got = in.read(buffer.data(), buffer.size());
    if (got <= 0) {
      EXPECT_EQ(got, 0) << "read error";
      return all;
    }
    EXPECT_LE(static_cast<std::size_t>(got), chunk);
    all.append(buffer.data(), static_cast<std::size_t>(got));
  }
}

// Runs `body` in a child process and returns its wait status. The alarm is only a safety
// net so a regression that blocks shows up as a failure instead of a stuck test run.
template <typename Body>
int run_in_child(Body body) {
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(30);
    _exit(body());
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
  return status;
}

struct OpenCase {
  const char* label;
  std::string name;  // program path relative to the temporary folder
  bool for_output;
  OpenError expected;
};

TEST(OpenErrors, AreClassified) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  write_host_file(dir.host() + "/file.txt", "data");
  ASSERT_EQ(mkdir((dir.host() + "/folder").c_str(), 0777), 0);

  using namespace std::string_literals;
  const std::string long_name(300, 'a');
  const std::vector<OpenCase> cases = {
      {"missing file", "missing.csv", false, OpenError::NotFound},
      {"missing folder", "nofolder\\a.csv", false, OpenError::NotFound},
      {"missing folder for output", "nofolder\\a.csv", true, OpenError::NotFound},
      {"folder for reading", "folder", false, OpenError::AccessDenied},
      {"folder as output", "folder", true, OpenError::AccessDenied},
      {"path through a file", "file.txt\\x", false, OpenError::NotFound},
      {"path through a file for output", "file.txt\\x", true, OpenError::NotFound},
      {"name too long", long_name, false, OpenError::BadName},
      {"name too long for output", long_name, true, OpenError::BadName},
      // Cut at the NUL this would name file.txt, which exists.
      {"NUL byte", "file.txt\0x"s, false, OpenError::BadName},
      {"NUL byte for output", "new\0x"s, true, OpenError::BadName},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string path = dir.program_path(c.name);
    if (c.for_output) {
      platform::OutputFile out;
      EXPECT_EQ(out.create(path), c.expected);
      EXPECT_FALSE(out.is_open());
    } else {
      platform::InputFile in;
      EXPECT_EQ(in.open(path), c.expected);
      EXPECT_FALSE(in.is_open());
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir.host() + "/new")) << "a name with NUL was truncated";
}

TEST(OpenErrors, FifoNeverBlocks) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_EQ(mkfifo((dir.host() + "/pipe").c_str(), 0666), 0);
  const std::string path = dir.program_path("pipe");
  // No writer and no reader exist: a blocking open would wait forever either way.
  const int status = run_in_child([&] {
    platform::InputFile in;
    if (in.open(path) != OpenError::AccessDenied) return 1;
    platform::OutputFile out;
    if (out.create(path) != OpenError::NoDevice) return 2;
    return 0;
  });
  ASSERT_TRUE(WIFEXITED(status)) << "child hung or crashed, status " << status;
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: reading refused wrongly, 2: writing refused wrongly";
}

TEST(OpenErrors, PermissionDenied) {
  if (geteuid() == 0) GTEST_SKIP() << "running as root: permissions are not enforced";
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string host = dir.host() + "/locked.csv";
  write_host_file(host, "secret");
  ASSERT_EQ(chmod(host.c_str(), 0), 0);
  platform::InputFile in;
  EXPECT_EQ(in.open(dir.program_path("locked.csv")), OpenError::AccessDenied);
  platform::OutputFile out;
  EXPECT_EQ(out.create(dir.program_path("locked.csv")), OpenError::AccessDenied);
}

TEST(Files, ReplacingAResultFile) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  write_host_file(dir.host() + "/old.csv", "earlier");
  write_host_file(dir.host() + "/new.part", "later");
  ASSERT_EQ(mkdir((dir.host() + "/folder").c_str(), 0777), 0);
  ASSERT_EQ(mkfifo((dir.host() + "/pipe").c_str(), 0666), 0);
  const std::vector<std::pair<const char*, OpenError>> cases = {
      {"missing.csv", OpenError::None},
      {"old.csv", OpenError::None},
      {"folder", OpenError::AccessDenied},
      {"pipe", OpenError::NoDevice},  // no reader: it is not written to, and not replaced
  };
  for (const auto& [name, expected] : cases) {
    EXPECT_EQ(platform::check_replaceable(dir.program_path(name)), expected) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.host() + "/missing.csv")) << "checking created the file";

  EXPECT_EQ(platform::replace_file(dir.program_path("new.part"), dir.program_path("old.csv")),
            OpenError::None);
  EXPECT_EQ(read_host_file(dir.host() + "/old.csv"), "later");
  EXPECT_FALSE(std::filesystem::exists(dir.host() + "/new.part"));
  EXPECT_EQ(platform::replace_file(dir.program_path("gone.part"), dir.program_path("old.csv")),
            OpenError::NotFound);

  EXPECT_EQ(platform::remove_file(dir.program_path("old.csv")), OpenError::None);
  EXPECT_EQ(platform::remove_file(dir.program_path("old.csv")), OpenError::None) << "already gone";
  EXPECT_FALSE(std::filesystem::exists(dir.host() + "/old.csv"));
  EXPECT_EQ(platform::remove_file(dir.program_path("folder")), OpenError::AccessDenied);
  EXPECT_TRUE(std::filesystem::is_directory(dir.host() + "/folder")) << "a folder was removed";
}

TEST(Files, RoundTripUnderJapaneseName) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  // A folder whose name ends in 0x5C, so the separator after it must not be doubled up.
  ASSERT_EQ(mkdir((dir.host() + "/南海表").c_str(), 0777), 0);
  // 南海表\長周期ソ.csv
  const std::string name = "\x93\xEC\x8A\x43\x95\x5C\\\x92\xB7\x8E\xFC\x8A\xFA\x83\x5C.csv";
  ASSERT_EQ(to_cp932("南海表\\長周期ソ.csv"), name);
  const std::string path = dir.program_path(name);

  std::string payload;
  for (int i = 0; i < 256; ++i) payload.push_back(static_cast<char>(i));
  payload += "\r\n\x1A\r\n";

  platform::OutputFile out;
  ASSERT_EQ(out.create(path), OpenError::None);
  EXPECT_TRUE(out.write(payload.data(), 100));
  EXPECT_TRUE(out.write(payload.data() + 100, payload.size() - 100));
  EXPECT_TRUE(out.write(payload.data(), 0));
  EXPECT_TRUE(out.close());
  EXPECT_FALSE(out.is_open());
  EXPECT_FALSE(out.write("x", 1)) << "write after close";
  EXPECT_TRUE(std::filesystem::exists(dir.host() + "/南海表/長周期ソ.csv")) << "not created under its UTF-8 name";

  platform::InputFile in;
  ASSERT_EQ(in.open(path), OpenError::None);
  EXPECT_EQ(read_all(in, 7), payload);
  EXPECT_EQ(in.read(nullptr, 0), 0);
  in.close();
  char c;
  EXPECT_EQ(in.read(&c, 1), -1) << "read after close";

  // Creating again truncates the older, longer file.
  ASSERT_EQ(out.create(path), OpenError::None);
  EXPECT_TRUE(out.write("new", 3));
  EXPECT_TRUE(out.close());
  ASSERT_EQ(in.open(path), OpenError::None);
  EXPECT_EQ(read_all(in, 2), "new");
}

TEST(Files, WriteBeyondSizeLimitFailsWithoutKillingTheProcess) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string path = dir.program_path("big.csv");
  const int status = run_in_child([&] {
    platform::prepare_process();
    const rlimit limit{1000, 1000};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
    platform::OutputFile out;
    if (out.create(path) != OpenError::None) return 11;
    const std::string block(600, 'x');
    if (!out.write(block.data(), block.size())) return 12;  // within the limit
    if (out.write(block.data(), block.size())) return 13;   // crosses it
    out.close();
    return 0;
  });
  ASSERT_FALSE(WIFSIGNALED(status)) << "killed by signal " << WTERMSIG(status);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "12: write within the limit failed, 13: write past it succeeded";
}

}  // namespace
