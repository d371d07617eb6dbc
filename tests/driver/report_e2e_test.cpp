// Runs asked for the report, end to end: the page is the seventh file of the set, in both
// forms of the command line; the six are the same bytes with or without it; a failure on
// any of the seven leaves every file of an earlier run as it was; and text and values from
// the files reach the page as text and as the CSV shows them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/cp932.hpp"
#include "support/data_set.hpp"
#include "support/process.hpp"
#include "support/warnings_line.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::DataSet;
using testing_support::kResultFiles;
using testing_support::RunResult;
using testing_support::run_in;
using testing_support::run_with_arguments;
using testing_support::ScratchFolder;

const char* const kPageHost = "参考･結果図表.html";
const char* const kSpectraHost = "参考･各ケースの応答スペクトル.csv";

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(ReportRun, ThePageIsASeventhFileInBothFormsAndTheSixStayTheSame) {
  ScratchFolder plain;
  DataSet::small().write_to(plain);
  ASSERT_EQ(run_in(plain, "def.csv\r\n").status, 0);
  EXPECT_FALSE(fs::exists(plain.path() / kPageHost));
  for (const bool prompt : {true, false}) {
    SCOPED_TRACE(prompt ? "gmgather --report, answering the prompt" : "gmgather --report def.csv");
    ScratchFolder folder;
    DataSet::small().write_to(folder);
    const RunResult r = prompt ? run_with_arguments(folder.path(), {"--report"}, "def.csv\r\n")
                               : run_with_arguments(folder.path(), {"--report", "def.csv"});
    EXPECT_EQ(r.err, prompt ? "" : testing_support::warnings_line(testing_support::kSmallSetWarnings, "--report def.csv"));
    ASSERT_EQ(r.status, 0);
    for (const char* name : kResultFiles) EXPECT_TRUE(plain.read(name) == folder.read(name)) << name;
    const std::string page = folder.read(kPageHost);
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(page.find("<td>def.csv</td>"), std::string::npos);
    EXPECT_EQ(folder.snapshot().size(), plain.snapshot().size() + 1);  // nothing else left behind
  }
}

// A file of the set that cannot be replaced (a folder holds its name) fails the run with
// report 9 on its unit, and every file of the earlier run stays as it was: the page and the
// response spectra when a result file fails, the six when one of those does.
TEST(ReportRun, AFailureOnAnyOfTheEightLeavesTheEarlierSet) {
  for (int unit = 21; unit <= 28; ++unit) {
    SCOPED_TRACE("unit " + std::to_string(unit));
    const std::string host = unit == 27 ? kPageHost : unit == 28 ? kSpectraHost : kResultFiles[unit - 21];
    ScratchFolder folder;
    DataSet::small().write_to(folder);
    ASSERT_EQ(run_with_arguments(folder.path(), {"--report", "--spectra", "def.csv"}).status, 0);
    fs::remove(folder.path() / host);
    folder.write(host + "/inside", "a folder where a result file belongs");
    DataSet other = DataSet::small();  // another data set: a file replaced by mistake shows
    other.samples[0] = {7, 8, 9};
    other.write_to(folder);
    const auto before = folder.snapshot();
    const RunResult r = run_with_arguments(folder.path(), {"--report", "--spectra", "def.csv"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "txtrec: severe (9): permission to access file denied, unit " + std::to_string(unit) +
                         ", file " + testing_support::to_cp932(host) + "\n");
    EXPECT_TRUE(folder.snapshot() == before) << "a file of the earlier run changed, or one was left behind";
  }
}

// A page left by an earlier run would show the old peaks beside new files: a run not asked
// for the page removes it as it places its set, and a run that fails leaves it with the
// rest of the earlier set. A folder under the page's name is not a page and stays.
TEST(ReportRun, ARunWithoutTheReportTakesAnEarlierPageAwayWithTheEarlierSet) {
  struct Case {
    const char* what;
    bool fails;          // the case-velocity file's name is held by a folder
    bool page_a_folder;  // the page's name is held by a folder
  };
  for (const Case& c : {Case{"placed", false, false}, Case{"failed", true, false}, Case{"a folder", false, true}}) {
    SCOPED_TRACE(c.what);
    ScratchFolder folder;
    DataSet::small().write_to(folder);
    ASSERT_EQ(run_with_arguments(folder.path(), {"--report", "def.csv"}).status, 0);
    if (c.page_a_folder) {
      fs::remove(folder.path() / kPageHost);
      folder.write(std::string(kPageHost) + "/inside", "not a page");
    }
    if (c.fails) {
      fs::remove(folder.path() / kResultFiles[4]);
      folder.write(std::string(kResultFiles[4]) + "/inside", "a folder where a result file belongs");
    }
    DataSet other = DataSet::small();
    other.samples[0] = {7, 8, 9};
    other.write_to(folder);
    const auto before = folder.snapshot();
    const RunResult r = run_with_arguments(folder.path(), {"def.csv"});
    ASSERT_EQ(r.status, c.fails ? 2 : 0) << r.err;
    if (c.fails) {
      EXPECT_TRUE(folder.snapshot() == before) << "a file of the earlier set changed, or one was left behind";
    } else {
      EXPECT_EQ(fs::exists(folder.path() / kPageHost), c.page_a_folder);
      EXPECT_EQ(folder.snapshot().size(), before.size() - (c.page_a_folder ? 0 : 1));
    }
  }
}

// A folder named like markup appears as that text, and a peak velocity that is not finite
// (samples whose sum overflows) shows as the CSV's asterisks, out of the charts.
TEST(ReportRun, TextFromFilesAndValuesThatAreNotFinite) {
  if (!testing_support::launcher().empty()) {
    GTEST_SKIP() << "a folder name with < and > cannot exist on Windows";
  }
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  folder.write(std::string("quake/case2/") + testing_support::kWaveformHost, "3,0.02\r\n1.7E308 1.7E308 -1.7E308\r\n");
  const std::string hostile = "<img src=x onerror=alert(1)>";
  fs::rename(folder.path() / "quake/case3", folder.path() / "quake" / hostile);
  std::string def = folder.read("def.csv");
  def.replace(def.find("quake\\case3"), 11, "quake\\" + hostile);
  folder.write("def.csv", def);
  const RunResult r = run_with_arguments(folder.path(), {"--report", "def.csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string page = folder.read(kPageHost);
  EXPECT_EQ(count(page, "<img"), 0u);
  // The cases' table, the two small charts, the table of ratios to the target and the
  // warning of its short record.
  EXPECT_EQ(count(page, "quake\\&lt;img src=x onerror=alert(1)&gt;"), 5u);
  EXPECT_NE(page.find("<td class=\"n\">**************</td>"), std::string::npos);
  EXPECT_NE(page.find("1 個のケースは最大速度が数値でない"), std::string::npos);
  EXPECT_EQ(count(page, "inf"), 0u);
  EXPECT_EQ(count(page, "nan"), 0u);
}

}  // namespace
