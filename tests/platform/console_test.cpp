// The console. Each test runs the console in a child process, because host_console() is
// set up once per process from whatever standard streams it finds there.
#include "platform/console.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <iconv.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "support/cp932.hpp"

namespace {

using namespace std::string_literals;

using testing_support::to_cp932;

bool write_fd(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = write(fd, bytes.data(), bytes.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

struct ChildRun {
  std::string out;
  std::string err;
  int status = -1;
};

// Runs `body` in a child whose standard streams are pipes. `input` is written to its
// standard input first; `keep_input_open` leaves the pipe open (without more data) until
// the child has finished, so a read that waits for more than is there would hang (and be
// cut off by the child's safety alarm).
template <typename Body>
ChildRun run_with_pipes(std::string_view input, bool keep_input_open, Body body) {
  ChildRun run;
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return run;
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(30);
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    _exit(body(platform::host_console()));
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  write_fd(in[1], input);  // small enough for the pipe buffer
  if (!keep_input_open) close(in[1]);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&run.out, &run.err};
  int open_count = 2;
  while (open_count > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  waitpid(pid, &run.status, 0);
  if (keep_input_open) close(in[1]);
  return run;
}

// Reads standard input to its end in reads of at most `chunk` bytes, then echoes it to
// standard output and, tagged, to standard error; `split` writes it in two pieces.
int echo_input(platform::Console& console, std::size_t chunk, std::size_t split) {
  std::string all;
  std::vector<char> buffer(chunk);
  for (;;) {
    const std::ptrdiff_t got = console.read_input(buffer.data(), buffer.size());
    if (got < 0) return 20;
    if (got == 0) break;
    if (static_cast<std::size_t>(got) > chunk) return 21;
    all.append(buffer.data(), static_cast<std::size_t>(got));
  }
  const std::size_t at = split < all.size() ? split : all.size();
  if (!console.write_output(std::string_view(all).substr(0, at))) return 22;
  if (!console.write_output(std::string_view(all).substr(at))) return 23;
  if (!console.write_error("E:" + all)) return 24;
  return 0;
}

struct PassCase {
  const char* label;
  std::string bytes;
  std::size_t chunk;
  std::size_t split;
};

TEST(ConsolePipes, PassBytesUnchanged) {
  std::string every_byte;
  for (int i = 0; i < 256; ++i) every_byte.push_back(static_cast<char>(i));
  const std::vector<PassCase> cases = {
      {"ascii with CR LF", "line 1\r\nline 2\r\n", 4096, 3},
      // 震度表\r\nソ: split between the two bytes of 震
      {"shift-jis split inside a character", "\x90\x6B\x93\x78\x95\x5C\r\n\x83\x5C", 5, 1},
      {"lone lead byte at the end", "ab\x81", 2, 3},
      {"every byte value, one at a time", every_byte, 1, 129},
      {"empty", "", 16, 0},
  };
  ASSERT_EQ(to_cp932("震度表\r\nソ"), cases[1].bytes);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const ChildRun run = run_with_pipes(c.bytes, false, [&](platform::Console& console) {
      return echo_input(console, c.chunk, c.split);
    });
    ASSERT_TRUE(WIFEXITED(run.status)) << "status " << run.status;
    EXPECT_EQ(WEXITSTATUS(run.status), 0);
    EXPECT_EQ(run.out, c.bytes);
    EXPECT_EQ(run.err, "E:" + c.bytes);
  }
}

// Asked for UTF-8, both pipes get it: a character written in two pieces comes out whole,
// and what is not Shift-JIS (a stray byte, a pair that names nothing, a lead byte without
// its partner) becomes U+FFFD rather than bytes a UTF-8 reader cannot take.
TEST(ConsolePipes, ConvertToUtf8WhenAsked) {
  const std::string bytes = to_cp932("震度表\r\nソ") + "\xA0|\x85\x40|\x81 ";
  const std::string want = "震度表\r\nソ\uFFFD|\uFFFD|\uFFFD ";
  const ChildRun run = run_with_pipes(bytes, false, [&](platform::Console& console) {
    console.convert_output_to_utf8();
    return echo_input(console, 7, 1);
  });
  ASSERT_TRUE(WIFEXITED(run.status)) << "status " << run.status;
  EXPECT_EQ(WEXITSTATUS(run.status), 0);
  EXPECT_EQ(run.out, want);
  EXPECT_EQ(run.err, "E:" + want);
}

TEST(ConsolePipes, ReadReturnsWhatIsThereWithoutWaitingForMore) {
  const ChildRun run = run_with_pipes("abc", true, [](platform::Console& console) {
    char buffer[100];
    const std::ptrdiff_t got = console.read_input(buffer, sizeof buffer);
    if (got != 3) return 1;
    return console.write_output(std::string_view(buffer, 3)) ? 0 : 2;
  });
  ASSERT_TRUE(WIFEXITED(run.status)) << "child blocked in read_input or crashed, status " << run.status;
  EXPECT_EQ(WEXITSTATUS(run.status), 0);
  EXPECT_EQ(run.out, "abc");
}

TEST(ConsolePipes, WriteToClosedPipeFailsWithoutKillingTheProcess) {
  const pid_t pid = fork();
  if (pid == 0) {
    platform::prepare_process();
    int fds[2];
    if (pipe(fds) != 0) _exit(10);
    close(fds[0]);
    dup2(fds[1], 1);
    dup2(fds[1], 2);
    close(fds[1]);
    platform::Console& console = platform::host_console();
    if (console.write_output("lost")) _exit(11);
    if (console.write_error("lost")) _exit(12);
    _exit(0);
  }
  ASSERT_GT(pid, 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_FALSE(WIFSIGNALED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// --- A real terminal: a pseudo-terminal whose other side the test plays as the user.

struct TerminalCase {
  const char* locale;
  bool converts;
};

// What the child sends back about its reads: per call one length byte (0xFF for an
// error) and the bytes read.
std::string frame(std::ptrdiff_t got, const char* data) {
  std::string f(1, got < 0 ? '\xFF' : static_cast<char>(got));
  if (got > 0) f.append(data, static_cast<std::size_t>(got));
  return f;
}

// Child side: the prompt goes out in pieces that split a character, then three kinds of
// input are read: a line in reads of 3 bytes, a short line in one large read, and a
// line ended (twice) by the end-of-file key in the middle of a character.
int terminal_child(const char* slave_name, const char* locale, int report) {
  setsid();
  const int slave = open(slave_name, O_RDWR);
  if (slave < 0) return 30;
  termios mode{};
  if (tcgetattr(slave, &mode) != 0) return 31;
  mode.c_lflag &= ~static_cast<tcflag_t>(ECHO);   // the test would read its own typing back
  mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);  // keep "\n" from turning into "\r\n"
  if (tcsetattr(slave, TCSANOW, &mode) != 0) return 32;
  dup2(slave, 0);
  dup2(slave, 1);
  dup2(slave, 2);
  close(slave);
  setenv("LC_ALL", locale, 1);
  if (std::setlocale(LC_CTYPE, "") == nullptr) return 77;
  std::setlocale(LC_CTYPE, "C");

  platform::Console& console = platform::host_console();
  const char* ctype = std::setlocale(LC_CTYPE, nullptr);
  if (ctype == nullptr || std::strcmp(ctype, "C") != 0) return 33;

  // 震度表: 90 6B | 93 78 95 | 5C, then an invalid byte and a katakana middle dot
  if (!console.write_output("\x90\x6B")) return 34;
  if (!console.write_output("\x93")) return 34;
  if (!console.write_output("\x78\x95")) return 34;
  if (!console.write_output("\x5C\xFF\xA5\n")) return 34;
  if (!console.write_error("\x83\x5C\n")) return 35;  // ソ

  char buffer[100];
  std::string reply;
  for (;;) {  // first line, 3 bytes at a time
    const std::ptrdiff_t got = console.read_input(buffer, 3);
    if (!write_fd(report, frame(got, buffer))) return 36;
    if (got <= 0 || buffer[got - 1] == '\n') break;
  }
  for (int i = 0; i < 3; ++i) {  // short line, then the bytes cut off by end of file, then the end
    const std::ptrdiff_t got = console.read_input(buffer, sizeof buffer);
    if (!write_fd(report, frame(got, buffer))) return 36;
  }
  return 0;
}

// Parent side: reads report frames until `count` frames or the line end arrived.
bool read_frames(int fd, std::vector<std::string>& frames, std::string& pending, std::size_t count, bool until_newline) {
  for (;;) {
    while (!pending.empty()) {
      const auto len = static_cast<unsigned char>(pending[0]);
      const std::size_t size = len == 0xFF ? 0 : len;
      if (pending.size() < 1 + size) break;
      frames.push_back(len == 0xFF ? "<error>" : pending.substr(1, size));
      pending.erase(0, 1 + size);
      if (until_newline && !frames.back().empty() && frames.back().back() == '\n') return true;
      if (!until_newline && frames.size() >= count) return true;
    }
    char buffer[256];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    pending.append(buffer, static_cast<std::size_t>(got));
  }
}

std::string read_terminal(int master, std::size_t wanted) {
  std::string shown;
  while (shown.size() < wanted) {
    char buffer[256];
    const ssize_t got = read(master, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // EIO once the child is gone
    shown.append(buffer, static_cast<std::size_t>(got));
  }
  return shown;
}

TEST(ConsoleTerminal, ConvertsOnlyForUtf8Terminal) {
  const std::vector<TerminalCase> cases = {{"C.UTF-8", true}, {"C", false}};
  const std::string prompt_sjis = "\x90\x6B\x93\x78\x95\x5C\xFF\xA5\n";
  ASSERT_EQ(to_cp932("震度表"), prompt_sjis.substr(0, 6));
  ASSERT_EQ(to_cp932("･"), "\xA5");
  const std::string typed = "東京ソ表é😀ｱ\n";

  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname(master) == nullptr) {
      if (master >= 0) close(master);
      GTEST_SKIP() << "no pseudo-terminals available here";
    }
    const std::string slave_name = ptsname(master);
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      alarm(30);
      close(master);
      close(report[0]);
      _exit(terminal_child(slave_name.c_str(), c.locale, report[1]));
    }
    ASSERT_GT(pid, 0);
    close(report[1]);

    const std::string prompt = c.converts ? "震度表\xFF･\n" "ソ\n" : prompt_sjis + "\x83\x5C\n";
    EXPECT_EQ(read_terminal(master, prompt.size()), prompt);

    std::vector<std::string> frames;
    std::string pending;
    write_fd(master, typed);
    // The first line must come back before the user types anything more.
    EXPECT_TRUE(read_frames(report[0], frames, pending, 0, true)) << "first line did not arrive";
    write_fd(master, "abc\n");
    EXPECT_TRUE(read_frames(report[0], frames, pending, frames.size() + 1, false)) << "short line did not arrive";
    // The start of 東 (E6 9D), then end of file twice: once ending the line, once for real.
    write_fd(master, "\xE6\x9D\x04\x04");
    read_frames(report[0], frames, pending, frames.size() + 2, false);

    int status = 0;
    waitpid(pid, &status, 0);
    close(report[0]);
    close(master);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "locale " << c.locale << " is not installed";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;

    ASSERT_GE(frames.size(), 4u);
    const std::size_t line_frames = frames.size() - 3;
    std::string line;
    for (std::size_t i = 0; i < line_frames; ++i) {
      EXPECT_GE(frames[i].size(), 1u);
      EXPECT_LE(frames[i].size(), 3u);
      line += frames[i];
    }
    // é and 😀 have no Shift-JIS form and arrive as typed.
    const std::string expected_line = c.converts ? to_cp932("東京ソ表") + "é😀" + to_cp932("ｱ\n") : typed;
    EXPECT_EQ(line, expected_line);
    EXPECT_EQ(frames[line_frames], "abc\n");
    EXPECT_EQ(frames[line_frames + 1], "\xE6\x9D") << "bytes cut off by end of file were lost";
    EXPECT_EQ(frames[line_frames + 2], "") << "end of file";
  }
}

}  // namespace
