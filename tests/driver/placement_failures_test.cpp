// Every file call of a run failed in turn, one per run: the run ends with the status and
// the line the guides give for that call, and once the next start has finished what it
// left, the folder holds the earlier set whole or the new set whole, nothing else. The
// result set lives in memory (the inputs are real files); the earlier set has a report
// page, which a run without --report takes away.
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <string>

#include "driver/run.hpp"
#include "results/result_set.hpp"
#include "support/data_set.hpp"
#include "support/fake_console.hpp"
#include "support/tables.hpp"
#include "support/test_file_system.hpp"
#include "support/warnings_line.hpp"
#include "textio/report.hpp"

namespace {

using testing_support::Call;
using testing_support::LoggedCall;
using Entries = std::map<std::string, std::string>;

const std::string kMarker = "gmgather-unfinished.txt";

struct Ended {
  int status;
  std::string err;
};

// A run given `definition` in the folder of the inputs, its result set in `fs`.
Ended run_with(platform::FileSystem& fs, const char* definition) {
  gm::RunOptions options;
  options.definition_file = definition;
  testing_support::FakeConsole console;
  const int status = gm::run(console, testing_support::fresh_tables(), parallel::Pool(1), options, fs);
  return {status, console.err};
}

Entries earlier_set() {
  Entries set;
  for (const results::ResultFile& f : results::result_set()) {
    if (f.option == results::Option::None || f.option == results::Option::Report) {
      set[std::string(f.name)] = "earlier " + std::string(f.name);
    }
  }
  return set;
}

int unit_of(const std::string& name) {
  for (const results::ResultFile& f : results::result_set()) {
    if (f.name == name) return f.unit;
  }
  return 26;  // the marker: the unit of the last file written
}

// The line the guides give for a run whose call `c` fails; `phase` says where it falls.
enum class Phase { Start, Writing, Placing, CleaningUp, Done };

std::string expected_err(const LoggedCall& c, Phase phase) {
  std::string file = c.path;
  for (const std::string_view suffix : {".part", ".old"}) {
    if (file.ends_with(suffix)) file.resize(file.size() - suffix.size());
  }
  switch (phase) {
    case Phase::Start:  // a marker that cannot be looked at is left alone; any other name, named
      if (c.path == kMarker) {
        return "gmgather: " + kMarker + " here was not written by this version of gmgather (or cannot be read): it "
               "and the result files are left as they are, and no run here puts result files in place until it is "
               "moved away\r\n";
      }
      return "gmgather: " + c.path + (c.path.ends_with(".part") ? " is not a file: left as it is\r\n"
                                                                 : " left as it is (a folder or not a file there)\r\n");
    case Phase::Writing:  // the writing starts again by statement, and succeeds
    case Phase::Done:
      return "";
    case Phase::Placing: {
      const bool write = c.call == Call::Write || c.call == Call::Flush || c.call == Call::Close ||
                         c.call == Call::FlushFolder;
      return textio::report_line(textio::Severity::Severe,
                                 {write ? textio::kErrWrite : textio::kErrPermission, unit_of(file), file});
    }
    case Phase::CleaningUp: {
      const std::string but = c.call == Call::FlushFolder
                                  ? "the folder could not be flushed after their earlier copies were removed: " +
                                        kMarker + " stays, and the next start of gmgather here finishes"
                              : c.path == kMarker ? kMarker + " could not be removed: the next start of gmgather here removes it"
                                                  : c.path + " could not be removed: " + kMarker +
                                                        " stays, and the next start of gmgather here removes them";
      return "gmgather: warning: the new result files are in place, but " + but + "\r\n";
    }
  }
  return {};
}

TEST(PlacementFailures, EachCallFailedEndsAsTheGuidesSayAndLeavesOneSet) {
  testing_support::ScratchFolder inputs;
  testing_support::DataSet::small().write_to(inputs);
  char home[4096];
  ASSERT_NE(getcwd(home, sizeof home), nullptr);
  ASSERT_EQ(chdir(inputs.path().c_str()), 0);

  // The new set, and the calls of a run that meets no failure.
  testing_support::MemoryFileSystem clean;
  for (const auto& [name, bytes] : earlier_set()) clean.put(name, bytes);
  testing_support::FailingFileSystem counting(clean);
  ASSERT_EQ(run_with(counting, "def.csv").status, 0);
  const Entries new_set = clean.entries();
  const std::vector<LoggedCall> calls = counting.log();
  ASSERT_EQ(new_set.size(), 6u);
  std::size_t first_write = 0, first_flush = 0, last_flush = 0, last_rename = 0;
  for (std::size_t i = calls.size(); i-- > 0;) {
    if (calls[i].call == Call::CheckReplaceable) first_write = i;
    if (calls[i].call == Call::Flush) first_flush = i;
    if (calls[i].call == Call::Replace && last_rename == 0) last_rename = i;
    if (calls[i].call == Call::FlushFolder && last_flush == 0) last_flush = i;
  }

  for (std::size_t n = 1; n <= calls.size(); ++n) {
    const LoggedCall& c = calls[n - 1];
    SCOPED_TRACE("call " + std::to_string(n) + " of " + std::to_string(calls.size()) + " fails: kind " +
                 std::to_string(static_cast<int>(c.call)) + ", " + c.path);
    const std::size_t i = n - 1;
    const Phase phase = i < first_write   ? Phase::Start
                        : i < first_flush ? Phase::Writing
                        : i <= last_rename + 1 ? Phase::Placing  // the folder's flush after the renames
                        : i < last_flush ? Phase::CleaningUp
                                         : Phase::Done;
    testing_support::MemoryFileSystem memory;
    for (const auto& [name, bytes] : earlier_set()) memory.put(name, bytes);
    testing_support::FailingFileSystem fs(memory);
    fs.fail_call(n);
    const Ended run = run_with(fs, "def.csv");
    const bool placed = phase != Phase::Placing && !(phase == Phase::Start && c.path == kMarker);
    EXPECT_EQ(run.status, placed ? 0 : 2);
    // A run that placed its set counts the small set's warnings after its end.
    EXPECT_EQ(run.err, expected_err(c, phase) + (placed ? testing_support::warnings_line(
                                                               testing_support::kSmallSetWarnings, "def.csv")
                                                         : std::string()));
    if (placed) {  // in place at once, whatever the next start still has to remove
      for (const auto& [name, bytes] : new_set) EXPECT_EQ(memory.entries()[name], bytes) << name;
    }
    EXPECT_EQ(memory.entries().contains(kMarker), phase == Phase::CleaningUp);

    const Ended next = run_with(memory, "nosuch.csv");
    EXPECT_EQ(next.status, 1);
    EXPECT_TRUE(next.err.ends_with("nosuch.csv not exist !\r\n")) << next.err;
    EXPECT_EQ(memory.entries(), placed ? new_set : earlier_set());
  }
  ASSERT_EQ(chdir(home), 0);
}

}  // namespace
