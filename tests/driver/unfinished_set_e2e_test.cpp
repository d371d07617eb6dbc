// What a start makes of a folder that a stopped run left, end to end: the program started
// with a definition file that does not exist (so it only finishes what was left, then ends
// with status 1) in folders prepared as a kill would leave them, and as other people's
// files could. Each case states the lines on standard error, the status and every name the
// folder holds afterwards, with its bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/cp932.hpp"
#include "support/data_set.hpp"
#include "support/process.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::kResultFiles;
using testing_support::ScratchFolder;

const std::string kMarker = "gmgather-unfinished.txt";
const std::string kNoSuch = "nosuch.csv not exist !\r\n";  // no [Enter]: named on the command line

std::string earlier(const std::string& name) { return "an earlier run wrote " + name + "\r\n"; }
std::string fresh(const std::string& name) { return "a stopped run wrote " + name + "\r\n"; }

// The marker a run writes before its first rename, placing `names` (host names).
std::string marker_placing(const std::vector<std::string>& names) {
  std::string text =
      "gmgather: result files being put in place; the next start of gmgather here finishes this (format 1)\r\n";
  for (const std::string& n : names) text += "place " + testing_support::to_cp932(n) + "\r\n";
  return text + "end " + std::to_string(names.size()) + "\r\n";
}

std::vector<std::string> all_results() { return {std::begin(kResultFiles), std::end(kResultFiles)}; }

// Every name in the folder with its bytes ("<folder>" for a folder).
std::map<std::string, std::string> contents(const ScratchFolder& folder) {
  std::map<std::string, std::string> found;
  for (const fs::directory_entry& e : fs::directory_iterator(folder.path())) {
    const std::string name = e.path().filename().string();
    found[name] = e.is_directory() ? "<folder>" : folder.read(name);
  }
  return found;
}

struct Case {
  const char* title;
  std::map<std::string, std::string> before;  // name -> bytes, or "<folder>"
  std::string err;                            // what the start says first, before kNoSuch
  std::map<std::string, std::string> after;
  int status = 1;                             // 2: the start ends the run, kNoSuch not reached
};

// What a start says of a marker it leaves alone, and with which the run ends.
const std::string kRefused = " and the result files are left as they are, and no run here puts result files in "
                             "place until it is moved away\r\n";
const std::string kForeign = "gmgather: gmgather-unfinished.txt here was not written by this version of gmgather "
                             "(or cannot be read): it" + kRefused;
const std::string kOutside = "gmgather: gmgather-unfinished.txt here names a file that is not one of the result "
                             "files, or one twice: it" + kRefused;

std::vector<Case> cases() {
  std::vector<Case> list;
  const std::vector<std::string> names = all_results();
  Case forward{"committed: every NAME.part goes in", {}, {}, {}};
  Case back{"not committed: every NAME.part goes", {}, {}, {}};
  for (const std::string& n : names) {
    forward.before[n] = back.before[n] = earlier(n);
    forward.before[n + ".part"] = back.before[n + ".part"] = fresh(n);
    forward.after[n] = fresh(n);
    back.after[n] = earlier(n);
  }
  forward.before[kMarker] = marker_placing(names);
  forward.err = "gmgather: finished putting in place the result files an interrupted run had left (6 files put in place)\r\n";
  back.err = "gmgather: undid what an interrupted run had left: the earlier result files are as they were "
             "(6 temporary files removed)\r\n";
  list.push_back(forward);
  list.push_back(back);

  // The marker names two files that went missing after the commit (someone removed them):
  // the rest goes in, the two are named, and nothing waits for them.
  Case missing{"a marker naming files that are not there", {}, {}, {}};
  for (std::size_t i = 2; i < names.size(); ++i) {
    missing.before[names[i] + ".part"] = fresh(names[i]);
    missing.after[names[i]] = fresh(names[i]);
  }
  missing.before[kMarker] = marker_placing(names);
  missing.err = "gmgather: finished putting in place the result files an interrupted run had left (4 files put in place); " +
                testing_support::to_cp932(names[0]) + " was to be put in place but is neither there nor waiting as " +
                testing_support::to_cp932(names[0]) + ".part; " + testing_support::to_cp932(names[1]) +
                " was to be put in place but is neither there nor waiting as " + testing_support::to_cp932(names[1]) +
                ".part\r\n";
  list.push_back(missing);

  // A file of the marker's name that someone else wrote: nothing is acted on.
  Case foreign{"a marker that is not ours", {}, {}, {}};
  for (const std::string& n : names) foreign.before[n] = earlier(n);
  foreign.before[names[0] + ".part"] = fresh(names[0]);
  foreign.before[kMarker] = "things I still have to do\r\n";
  foreign.after = foreign.before;
  foreign.err = kForeign;
  foreign.status = 2;
  list.push_back(foreign);

  // A copy of the page that an earlier version failed to remove, after it had put a set
  // without a page in place: that set stays as it is, the copy is never brought back.
  const std::string page = "参考･結果図表.html";
  Case copy{"a copy without a marker beside a newer set", {}, {}, {}};
  for (const std::string& n : names) copy.before[n] = fresh(n);
  copy.before[page + ".old"] = earlier(page);
  copy.after = copy.before;
  copy.err = "gmgather: " + testing_support::to_cp932(page) + ".old left as it is (a copy an earlier version of "
             "gmgather left: move it away, no run puts " + testing_support::to_cp932(page) + " in place while it "
             "is there)\r\n";
  list.push_back(copy);

  // A folder under a temporary name is never removed, with a marker or without.
  for (const bool committed : {false, true}) {
    Case folder{committed ? "a .part that is a folder, committed" : "a .part that is a folder", {}, {}, {}};
    for (const std::string& n : names) folder.before[n] = folder.after[n] = earlier(n);
    folder.before[names[3] + ".part"] = folder.after[names[3] + ".part"] = "<folder>";
    folder.before[names[4] + ".part"] = fresh(names[4]);
    if (committed) {
      folder.before[kMarker] = marker_placing({names[3], names[4]});
      folder.after[names[4]] = fresh(names[4]);
      folder.err = "gmgather: finished putting in place the result files an interrupted run had left (1 file put "
                   "in place); " + testing_support::to_cp932(names[3]) + ".part is not a file: left as it is\r\n";
    } else {
      folder.err = "gmgather: undid what an interrupted run had left: the earlier result files are as they were "
                   "(1 temporary file removed); " + testing_support::to_cp932(names[3]) +
                   ".part is not a file: left as it is\r\n";
    }
    list.push_back(folder);
  }
  return list;
}

TEST(UnfinishedSetAtStart, EachPreparedFolderEndsAsStated) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.title);
    ScratchFolder folder;
    for (const auto& [name, bytes] : c.before) {
      if (bytes == "<folder>") {
        fs::create_directory(folder.path() / name);
      } else {
        folder.write(name, bytes);
      }
    }
    const auto r = testing_support::run_with_arguments(folder.path(), {"nosuch.csv"});
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.err + (c.status == 1 ? kNoSuch : ""));
    EXPECT_EQ(contents(folder), c.after);
  }
}

// A real run beside a marker the start will not touch (someone's note, or one naming a
// file outside the set): whatever the run is asked for, it ends at its start with the
// line that says so and status 2, every file as it was; a check with the same options
// lists that line as its first error.
TEST(UnfinishedSetAtStart, AMarkerLeftAloneEndsEveryRunAsTheCheckSays) {
  const std::string def_marker = "gmgather: result files being put in place; the next start of gmgather here "
                                 "finishes this (format 1)\r\nplace def.csv\r\nend 1\r\n";
  const std::pair<std::string, std::string> markers[] = {{"things I still have to do\r\n", kForeign},
                                                         {def_marker, kOutside}};
  const std::vector<std::string> option_sets[] = {{}, {"--report"}, {"--spectra", "--fit"}};
  for (const auto& [bytes, said] : markers) {
    for (const std::vector<std::string>& options : option_sets) {
      SCOPED_TRACE(bytes + " with " + std::to_string(options.size()) + " options");
      ScratchFolder folder;
      testing_support::DataSet::small().write_to(folder);
      for (const char* n : kResultFiles) folder.write(n, earlier(n));
      folder.write(kMarker, bytes);
      const auto before = contents(folder);
      std::vector<std::string> arguments = options;
      arguments.push_back("def.csv");
      const auto r = testing_support::run_with_arguments(folder.path(), arguments);
      EXPECT_EQ(r.status, 2);
      EXPECT_EQ(r.err, said);
      EXPECT_EQ(contents(folder), before);
      arguments.insert(arguments.begin(), "--check");
      const auto check = testing_support::run_with_arguments(folder.path(), arguments);
      EXPECT_EQ(check.status, 1);
      const std::string first = kMarker + ": error: " + said.substr(std::string("gmgather: ").size());
      EXPECT_EQ(check.out.substr(0, check.out.find('\n') + 1), first) << check.out;
      EXPECT_EQ(contents(folder), before);
    }
  }
}

}  // namespace
