// Ctrl+C and its kin sent to a real run, at moments spread over the largest run and at the
// prompt: the run must end with status 130 (or 0, when it had finished), say which set the
// folder holds, and leave the earlier set byte for byte or the new one whole, with no
// temporary file, backup copy or marker behind.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/data_set.hpp"
#include "support/process.hpp"
#include "support/sanitized.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::kResultFiles;
using testing_support::ScratchFolder;
using Clock = std::chrono::steady_clock;

const char* const kSkip = "signals reach the program itself only when no launcher starts it";

std::string earlier_bytes(const char* name) { return std::string("an earlier run wrote ") + name + "\r\n"; }

// A started program: standard output into a pipe the test may read, standard input a pipe
// that stays open until the end (a console left waiting), standard error into a file.
struct Started {
  pid_t pid = -1;
  int out = -1;
  int in = -1;
};

Started start(const fs::path& folder, const std::vector<std::string>& arguments, const fs::path& err_file) {
  std::vector<const char*> argv{GMGATHER_EXE};
  for (const std::string& a : arguments) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  int in[2], out[2];
  if (pipe(in) != 0 || pipe(out) != 0) std::abort();
  const pid_t pid = fork();
  if (pid == 0) {
    const int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err, 2);
    for (int fd : {in[0], in[1], out[0], out[1], err}) close(fd);
    // What the test runner ignores, the program would inherit as ignored and not watch.
    for (int s : {SIGINT, SIGTERM, SIGHUP}) signal(s, SIG_DFL);
    if (chdir(folder.c_str()) != 0) _exit(127);
    execv(argv[0], const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  return {pid, out[0], in[1]};
}

// Waits for the program, draining its standard output so that it never blocks on it.
int finish(const Started& s) {
  close(s.in);
  char buffer[4096];
  while (read(s.out, buffer, sizeof buffer) > 0) {
  }
  close(s.out);
  int status = 0;
  waitpid(s.pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Waits until the program catches `signal_number` (Linux shows it in /proc), so that a
// signal sent early does not meet the default action of a program still starting.
bool wait_until_caught(pid_t pid, int signal_number) {
  const std::string status_file = "/proc/" + std::to_string(pid) + "/status";
  const auto give_up = Clock::now() + std::chrono::seconds(60);
  while (Clock::now() < give_up) {
    std::ifstream in(status_file);
    for (std::string line; std::getline(in, line);) {
      if (!line.starts_with("SigCgt:")) continue;
      const unsigned long long caught = std::stoull(line.substr(7), nullptr, 16);
      if ((caught >> (signal_number - 1)) & 1u) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// Reads standard output until `text` shows (true), or it ends or 60 s pass (false).
bool wait_for_output(const Started& s, const std::string& text) {
  std::string seen;
  const auto give_up = Clock::now() + std::chrono::seconds(60);
  while (seen.find(text) == std::string::npos) {
    pollfd p{s.out, POLLIN, 0};
    if (Clock::now() > give_up || poll(&p, 1, 1000) < 0) return false;
    if (p.revents == 0) continue;
    char buffer[4096];
    const ssize_t k = read(s.out, buffer, sizeof buffer);
    if (k <= 0) return false;
    seen.append(buffer, static_cast<std::size_t>(k));
  }
  return true;
}

using testing_support::kSanitized;

// The largest run the limits allow: 6 faults, 21 cases of 100000 samples each. Under a
// sanitizer, which makes that run ten times slower, a tenth of the samples: there the
// point is the signal meeting the threads, not the size.
constexpr int kSamples = kSanitized ? 10000 : 100000;

class Interrupted : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!testing_support::launcher().empty()) return;
    folder_ = new ScratchFolder;
    testing_support::DataSet d = testing_support::DataSet::small();
    d.spectra.resize(6, d.spectra[0]);
    d.samples.assign(21, {});  // only the count matters to the definition file
    d.write_to(*folder_);
    std::string wave = std::to_string(kSamples) + ",0.02\r\n";
    char buffer[32];
    double a = 0.0;
    for (int j = 1; j <= kSamples; ++j) {
      a = 0.95 * a + static_cast<double>((j * 7919) % 2001 - 1000) / 25.0;
      std::snprintf(buffer, sizeof buffer, "%17.9E", a);
      wave += buffer;
      if (j % 5 == 0) wave += "\r\n";
    }
    for (int c = 1; c <= 21; ++c) {
      folder_->write("quake/case" + std::to_string(c) + "/" + testing_support::kWaveformHost, wave);
    }
    // The new set, and how long a run takes that nothing stops.
    const auto t0 = Clock::now();
    const auto r = testing_support::run_with_arguments(folder_->path(), {"def.csv"});
    run_time_ = Clock::now() - t0;
    new_set_ = new std::vector<std::string>;
    for (const char* name : kResultFiles) new_set_->push_back(r.status == 0 ? folder_->read(name) : "");
  }
  static void TearDownTestSuite() {
    delete folder_;
    delete new_set_;
    folder_ = nullptr;
    new_set_ = nullptr;
  }
  void SetUp() override {
    if (!testing_support::launcher().empty()) GTEST_SKIP() << kSkip;
    ASSERT_FALSE(new_set_->front().empty()) << "the run that nothing stops failed";
    for (const char* name : kResultFiles) folder_->write(name, earlier_bytes(name));
  }

  enum class Outcome { Kept, Placed, Finished, Broken };

  // Starts a run, waits for the moment (`wait`, given the run's id), sends
  // `signal_number`; checks the status, the line and the folder.
  Outcome interrupt(int signal_number, const std::string& name, const std::function<void(pid_t)>& wait,
                    const std::vector<std::string>& arguments = {"def.csv"}) {
    for (const char* n : kResultFiles) folder_->write(n, earlier_bytes(n));  // the run before may have placed its set
    const fs::path err_file = scratch_.path() / "err";
    const Started s = start(folder_->path(), arguments, err_file);
    if (!wait_until_caught(s.pid, signal_number)) ADD_FAILURE() << "the program never watched for the signal";
    wait(s.pid);
    kill(s.pid, signal_number);
    const int status = finish(s);
    const std::string err = scratch_.read("err");
    const std::string said = "gmgather: stopped by " + name + ": ";
    bool all_earlier = true, all_new = true;
    for (std::size_t i = 0; i < std::size(kResultFiles); ++i) {
      const std::string bytes = folder_->read(kResultFiles[i]);
      all_earlier &= bytes == earlier_bytes(kResultFiles[i]);
      all_new &= bytes == (*new_set_)[i];
    }
    for (const fs::directory_entry& e : fs::directory_iterator(folder_->path())) {
      const std::string n = e.path().filename().string();
      EXPECT_FALSE(n.ends_with(".part") || n.ends_with(".old") || n == "gmgather-unfinished.txt") << n << " left";
    }
    if (status == 0 && all_new && err.empty()) return Outcome::Finished;
    if (status == 130 && all_earlier && err == said + "the earlier result files are as they were\r\n") {
      return Outcome::Kept;
    }
    if (status == 130 && all_new && err == said + "the new result files were being put in place and are complete\r\n") {
      return Outcome::Placed;
    }
    ADD_FAILURE() << "status " << status << ", the earlier set " << (all_earlier ? "whole" : "not whole")
                  << ", the new set " << (all_new ? "whole" : "not whole") << ", standard error: " << err;
    return Outcome::Broken;
  }

  // After `part` of a run that nothing stops, counted from the moment the run watches.
  Outcome interrupt_after(int signal_number, const std::string& name, double part) {
    SCOPED_TRACE(name + " after " + std::to_string(part) + " of a run");
    return interrupt(signal_number, name, [part](pid_t) {
      std::this_thread::sleep_for(std::chrono::duration_cast<Clock::duration>(run_time_ * part));
    });
  }

  static ScratchFolder* folder_;
  static std::vector<std::string>* new_set_;
  static Clock::duration run_time_;
  ScratchFolder scratch_;
};

ScratchFolder* Interrupted::folder_ = nullptr;
std::vector<std::string>* Interrupted::new_set_ = nullptr;
Clock::duration Interrupted::run_time_{};

// The moment the run watches and four more up to near the end of a run that nothing
// stops (reading, working, writing, flushing), one past its end, and one when the commit
// marker shows up: from then on the set goes in whole, with the signal or without.
TEST_F(Interrupted, CtrlCAtMomentsSpreadOverTheLargestRun) {
  int kept = 0;
  for (const double part : {0.0, 0.3, 0.6, 0.85, 0.97, 1.5}) {
    kept += interrupt_after(SIGINT, "SIGINT", part) == Outcome::Kept;
  }
  EXPECT_GE(kept, 1) << "no moment came while the run still read or worked";
  const fs::path marker = folder_->path() / "gmgather-unfinished.txt";
  const Outcome at_commit = interrupt(SIGINT, "SIGINT", [&marker](pid_t pid) {
    // Until the marker is there or the run is over; a few microseconds between looks.
    while (!fs::exists(marker) && kill(pid, 0) == 0) std::this_thread::sleep_for(std::chrono::microseconds(20));
  });
  EXPECT_TRUE(at_commit == Outcome::Placed || at_commit == Outcome::Finished) << "at the commit";
  RecordProperty("kept_of_six", kept);
  RecordProperty("at_commit", at_commit == Outcome::Placed ? "stopped, the new set placed" : "finished");
}

// The response spectra and the page are made once the six files are written, before the
// commit: a Ctrl+C that comes while they are made stops the run with the earlier set.
TEST_F(Interrupted, CtrlCWhileTheSpectraAreMade) {
  const fs::path last_of_six = folder_->path() / (std::string(kResultFiles[std::size(kResultFiles) - 1]) + ".part");
  const Outcome o = interrupt(SIGINT, "SIGINT", [&last_of_six](pid_t pid) {
    while (!fs::exists(last_of_six) && kill(pid, 0) == 0) std::this_thread::sleep_for(std::chrono::microseconds(20));
  }, {"--report", "--spectra", "def.csv"});
  EXPECT_EQ(o, Outcome::Kept);
  // Should the run have got past the commit after all, the next tests expect no page.
  for (const char* n : {"参考･結果図表.html", "参考･各ケースの応答スペクトル.csv"}) fs::remove(folder_->path() / n);
}

TEST_F(Interrupted, TerminateAndHangUpStopTheRunToo) {
  // At the moment the run watches: a moment timed from the run that nothing stops can come
  // after the end of a later run that met warmer caches or a quieter machine.
  for (const auto& [signal_number, name] : {std::pair{SIGTERM, "SIGTERM"}, std::pair{SIGHUP, "SIGHUP"}}) {
    const Outcome o = interrupt_after(signal_number, name, 0.0);
    EXPECT_TRUE(o == Outcome::Kept || o == Outcome::Placed) << name << " did not stop the run";
  }
}

// A run waiting at the prompt for the name of the definition file, as a person leaves it
// and then presses Ctrl+C: status 130, and nothing in the folder changed.
TEST_F(Interrupted, CtrlCAtThePrompt) {
  const fs::path err_file = scratch_.path() / "err";
  const Started s = start(folder_->path(), {}, err_file);
  ASSERT_TRUE(wait_for_output(s, testing_support::kPrompt)) << "no prompt";
  kill(s.pid, SIGINT);
  EXPECT_EQ(finish(s), 130);
  EXPECT_EQ(scratch_.read("err"), "gmgather: stopped by SIGINT: the earlier result files are as they were\r\n");
  for (const char* name : kResultFiles) EXPECT_EQ(folder_->read(name), earlier_bytes(name)) << name;
  std::vector<std::string> names;
  for (const fs::directory_entry& e : fs::directory_iterator(folder_->path())) {
    names.push_back(e.path().filename().string());
  }
  EXPECT_EQ(names.size(), std::size(kResultFiles) + 2) << "def.csv, quake and the results, nothing else";
}

}  // namespace
