// Interrupts on a POSIX host. Each check runs in a child process: the handlers, once
// installed, stay for the life of the process, and the console is set up once per process
// from the standard input it finds.
#include "platform/interrupt.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <string>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/console.hpp"

namespace {

// Runs `check` in a child process and returns what it found wrong, "" for nothing. A
// child that hangs is ended by SIGALRM after 5 s, and that is reported.
std::string in_child(const std::function<std::string()>& check) {
  int report[2];
  if (pipe(report) != 0) return "no pipe";
  const pid_t pid = fork();
  if (pid == 0) {
    close(report[0]);
    alarm(5);
    const std::string found = check();
    [[maybe_unused]] const ssize_t put = write(report[1], found.data(), found.size());
    _exit(0);
  }
  close(report[1]);
  std::string found;
  char buffer[256];
  for (ssize_t got; (got = read(report[0], buffer, sizeof buffer)) > 0;) found.append(buffer, static_cast<std::size_t>(got));
  close(report[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) found += "child ended by signal " + std::to_string(WTERMSIG(status));
  return found;
}

TEST(Interrupts, EachWatchedSignalIsRecordedAndEndsNothing) {
  const struct {
    int signal_number;
    const char* name;
  } cases[] = {{SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(in_child([&]() -> std::string {
                platform::watch_for_interrupts();
                if (platform::interrupted() || !platform::interrupt_name().empty()) return "interrupted at start";
                raise(c.signal_number);
                raise(SIGTERM);  // a second one is no news: the first is named
                if (!platform::interrupted()) return "not interrupted";
                return std::string(platform::interrupt_name()) == c.name ? "" : "named wrongly";
              }),
              "");
  }
}

TEST(Interrupts, ASignalIgnoredAtStartStaysIgnored) {
  EXPECT_EQ(in_child([]() -> std::string {
              signal(SIGHUP, SIG_IGN);  // as nohup starts a program
              platform::watch_for_interrupts();
              raise(SIGHUP);
              return platform::interrupted() ? "SIGHUP taken for an interrupt" : "";
            }),
            "");
}

TEST(Interrupts, ADeferralHoldsTheInterruptBackUntilItEnds) {
  EXPECT_EQ(in_child([]() -> std::string {
              platform::watch_for_interrupts();
              {
                const platform::InterruptDeferral placing;
                raise(SIGINT);
                if (platform::interrupted()) return "seen while deferred";
              }
              return platform::interrupted() ? "" : "lost after the deferral";
            }),
            "");
}

// A read of standard input waiting at a pipe that has no data and a writer, as a prompt
// waits for the user, gives up when an interrupt comes: delivered to the reading thread
// (EINTR), to another thread (the wake pipe), or just before the read starts.
TEST(Interrupts, AConsoleReadWaitingForInputGivesUp) {
  const struct {
    const char* what;
    std::function<void()> interrupt;
  } cases[] = {
      {"signal to the process, later", [] { kill(getpid(), SIGINT); }},
      {"signal to another thread, later", [] { raise(SIGTERM); }},
      {"before the read", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(in_child([&]() -> std::string {
                int input[2];
                if (pipe(input) != 0 || dup2(input[0], STDIN_FILENO) < 0) return "no pipe";
                platform::watch_for_interrupts();
                std::thread later;
                if (c.interrupt) {
                  later = std::thread([&] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    c.interrupt();
                  });
                } else {
                  raise(SIGINT);
                }
                char typed[16];
                const std::ptrdiff_t got = platform::host_console().read_input(typed, sizeof typed);
                if (later.joinable()) later.join();
                if (got != -1) return "read gave " + std::to_string(got);
                return platform::interrupted() ? "" : "not interrupted";
              }),
              "");
  }
}

}  // namespace
