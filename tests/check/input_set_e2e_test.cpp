// A check of whole input sets on disk, held to the program's own runs of the same sets: it
// ends in error exactly when the run does, with the run's message first, and writes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "check/input_set_check.hpp"
#include "support/data_set.hpp"
#include "support/error_end.hpp"
#include "support/process.hpp"
#include "support/warnings_line.hpp"
#include "tests_inputs.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::DataSet;
using testing_support::ScratchFolder;

// The check of the set in `folder`, run from there as a run would be.
check::Findings check_in(const ScratchFolder& folder, int threads) {
  const fs::path before = fs::current_path();
  fs::current_path(folder.path());
  gm::RunTables& t = testing_support::fresh_tables();
  check::Findings out;
  check::check_input_set(t, "def.csv", check_tests::kTexts, parallel::Pool(threads), out);
  fs::current_path(before);
  return out;
}

void edit(const ScratchFolder& f, const std::string& file, const std::string& from, const std::string& to) {
  std::string bytes = f.read(file);
  ASSERT_NE(bytes.find(from), std::string::npos) << from;
  f.write(file, bytes.replace(bytes.find(from), from.size(), to));
}

const std::string kCase1 = "quake/case1/" + std::string(testing_support::kWaveformHost);
const std::string kCase3 = "quake/case3/" + std::string(testing_support::kWaveformHost);
const std::string kFault1 = "quake/fault1/" + std::string(testing_support::kSpectrumHost);
const std::string kFault2 = "quake/fault2/" + std::string(testing_support::kSpectrumHost);

struct SetCase {
  const char* what;
  std::function<void(const ScratchFolder&)> prepare;
  int errors;
  int warnings;
};

TEST(InputSetCheck, EndsInErrorExactlyWhenTheRunDoesWithTheRunsMessageFirst) {
  const SetCase cases[] = {
      {"clean", [](auto&) {}, 0, 0},
      {"no definition file", [](auto& f) { fs::remove(f.path() / "def.csv"); }, 1, 0},
      {"22 cases", [](auto& f) { edit(f, "def.csv", "2,3\r\n", "2,22\r\n"); }, 1, 0},
      {"fault line out of range, case lines too",
       [](auto& f) {
         edit(f, "def.csv", "2,quake\\fault2", "3,quake\\fault2");
         edit(f, "def.csv", "2,quake\\case2", "5,quake\\case2");
       },
       4, 0},
      {"fault 2's table missing, case 1's waveform short",
       [](auto& f) {
         fs::remove(f.path() / kFault2);
         edit(f, kCase1, "3,0.02", "4,0.02");
       },
       2, 0},
      {"a text in fault 1's table, fault 2 held to the rows before it",
       [](auto& f) {
         edit(f, kFault1, "2.000,", "2.0x0,");
         edit(f, kFault2, "0.300,", "0.310,");
       },
       1, 1},
      {"case 3 with a text sample", [](auto& f) { edit(f, kCase3, "200.000", "2OO.000"); }, 1, 0},
      {"too many samples", [](auto& f) { edit(f, kCase1, "3,0.02", "100001,0.02"); }, 1, 0},
      {"warnings only",
       [](auto& f) {
         edit(f, kCase1, "3,0.02", "3,0.01");
         edit(f, kCase3, "1,0.02", "0,0.02");
       },
       0, 2},
  };
  for (const SetCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder folder;
    DataSet::small().write_to(folder);
    c.prepare(folder);
    const auto before = folder.snapshot();
    for (int threads : {1, 3}) {
      const check::Findings found = check_in(folder, threads);
      std::string listed = check::format_findings(found);
      SCOPED_TRACE(listed);
      EXPECT_EQ(found.errors(), c.errors);
      // Besides the small set's short records, which every case has.
      EXPECT_EQ(found.warnings() - testing_support::short_record_warnings(listed), c.warnings);
      EXPECT_EQ(folder.snapshot(), before);
      if (threads == 1) continue;
      const testing_support::RunResult run = testing_support::run_with_arguments(folder.path(), {"def.csv"});
      EXPECT_EQ(run.status == 0, found.errors() == 0);
      if (found.errors() == 0) continue;
      for (const check::Finding& f : found.list()) {
        if (f.severity != check::Finding::Error) continue;
        const std::string message = testing_support::error_end_on_one_line(run.err);
        EXPECT_EQ(f.text.substr(0, message.size()), message);
        break;
      }
    }
  }
}

TEST(InputSetCheck, FindingsAreListedInTheOrderARunReadsTheFiles) {
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  edit(folder, "def.csv", "1,quake\\case1", "1,quake\\case3");  // case 1 names case 3's folder
  fs::remove(folder.path() / kFault2);
  edit(folder, kCase3, "1,0.02", "1,0.01");
  const std::string fault2 = "quake\\fault2" + testing_support::kSpectrumName;
  // Cases 1 and 3 both read case 3's waveform.
  const std::string interval = "quake\\case3" + testing_support::kWaveformName +
                               ":1: warning: the sampling interval `0.01` is not 0.02: the samples are integrated 0.02 "
                               "s apart all the same\r\n";
  const auto short_record = [](const char* case_folder, int n) {
    return std::string("quake\\") + case_folder + testing_support::kWaveformName + ":1: warning: the record holds " +
           std::to_string(n) + " sample(s), fewer than 100 (2 s at 0.02 s): a count typed short, or a file cut off?\r\n";
  };
  EXPECT_EQ(check::format_findings(check_in(folder, 3)),
            "def.csv:8: warning: case 3 names the same folder as case 1 (line 7): `quake\\case3`\r\n"
            "def.csv:5: error: " + fault2 + " not exist !\r\n" + interval + short_record("case3", 1) +
                short_record("case2", 2) + interval + short_record("case3", 1) + "1 error(s), 6 warning(s)\r\n");
}

}  // namespace
