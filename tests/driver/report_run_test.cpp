// Runs asked for the report, in-process in scratch folders: the page is the seventh file
// of the set, the six are the same bytes with or without it, and a failure on any of the
// seven leaves every file of an earlier run as it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "driver/run.hpp"
#include "support/cp932.hpp"
#include "support/data_set.hpp"
#include "support/fake_console.hpp"
#include "support/process.hpp"
#include "support/tables.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::DataSet;
using testing_support::kResultFiles;
using testing_support::ScratchFolder;

const char* const kPageHost = "参考･結果図表.html";
const std::string kPageName = "\x8e\x51\x8d\x6c\xa5\x8c\x8b\x89\xca\x90\x7d\x95\x5c.html";  // 参考･結果図表.html

struct InProcessRun {
  int status = -1;
  std::string out, err;
};

// gm::run in `folder`, answering the prompt with def.csv.
InProcessRun run_here(const ScratchFolder& folder, bool report, int threads = 1) {
  char previous[4096];
  EXPECT_NE(getcwd(previous, sizeof previous), nullptr);
  EXPECT_EQ(chdir(folder.path().c_str()), 0);
  testing_support::FakeConsole console("def.csv\r\n");
  gm::RunOptions options;
  options.report = report;
  options.threads = threads;
  InProcessRun r;
  r.status = gm::run(console, testing_support::fresh_tables(), options);
  r.out = console.out;
  r.err = console.err;
  EXPECT_EQ(chdir(previous), 0);
  return r;
}

std::string severe_9(int unit, const std::string& file) {
  return "txtrec: severe (9): permission to access file denied, unit " + std::to_string(unit) + ", file " + file +
         "\n";
}

TEST(ReportRun, ThePageIsASeventhFileAndTheSixStayTheSame) {
  ScratchFolder plain, with_page;
  DataSet::small().write_to(plain);
  DataSet::small().write_to(with_page);
  ASSERT_EQ(run_here(plain, false).status, 0);
  const InProcessRun r = run_here(with_page, true, 2);
  EXPECT_EQ(r.err, "");
  ASSERT_EQ(r.status, 0);
  EXPECT_FALSE(fs::exists(plain.path() / kPageHost));
  for (const char* name : kResultFiles) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(plain.read(name) == with_page.read(name));
  }
  const std::string page = with_page.read(kPageHost);
  EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
  // The page names the definition file and the folder it was written in.
  EXPECT_NE(page.find("<td>def.csv</td>"), std::string::npos);
  EXPECT_NE(page.find("<td>" + fs::canonical(with_page.path()).string() + "</td>"), std::string::npos);
  // Nothing else is left behind: the data set, the six and the page.
  EXPECT_EQ(with_page.snapshot().size(), plain.snapshot().size() + 1);
}

// A file of the set that cannot be replaced (a folder holds its name) fails the run with
// report 9 on its unit, and every file of the earlier run stays as it was: the page when
// a result file fails, the six when the page does.
TEST(ReportRun, AFailureOnAnyOfTheSevenLeavesTheEarlierSet) {
  for (int unit = 21; unit <= 27; ++unit) {
    SCOPED_TRACE("unit " + std::to_string(unit));
    const bool page = unit == 27;
    const std::string host = page ? kPageHost : kResultFiles[unit - 21];
    ScratchFolder folder;
    DataSet::small().write_to(folder);
    ASSERT_EQ(run_here(folder, true).status, 0);
    fs::remove(folder.path() / host);
    folder.write(host + "/inside", "a folder where a result file belongs");
    // Another data set, so that a file replaced by mistake would show.
    DataSet other = DataSet::small();
    other.samples[0] = {7, 8, 9};
    other.write_to(folder);
    const auto before = folder.snapshot();
    const InProcessRun r = run_here(folder, true);
    EXPECT_EQ(r.status, gm::kExitFatal);
    EXPECT_EQ(r.err, severe_9(unit, page ? kPageName : testing_support::to_cp932(host)));
    EXPECT_TRUE(folder.snapshot() == before) << "a file of the earlier run changed, or one was left behind";
  }
}

// An earlier page stays when a run without the report fails, and goes on unchanged when
// one succeeds: only a run asked for the report touches it.
TEST(ReportRun, ARunWithoutTheReportLeavesAnEarlierPageAlone) {
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  ASSERT_EQ(run_here(folder, true).status, 0);
  const std::string page = folder.read(kPageHost);
  DataSet other = DataSet::small();
  other.samples[0] = {7, 8, 9};
  other.write_to(folder);
  ASSERT_EQ(run_here(folder, false).status, 0);
  EXPECT_TRUE(folder.read(kPageHost) == page);
}

}  // namespace
