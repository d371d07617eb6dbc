// Results that survive a power cut, seen from outside: the program runs under strace,
// which records its flushes and renames in the order they returned.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "support/data_set.hpp"
#include "support/process.hpp"

namespace {

using testing_support::kResultFiles;

// A line of `strace -xx` with every "\xHH" turned back into its byte.
std::string decoded(const std::string& line) {
  std::string out;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line.compare(i, 2, "\\x") == 0 && i + 4 <= line.size()) {
      out += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += line[i];
    }
  }
  return out;
}

const char* const kNoTracer = "strace cannot trace the program here (not installed, ptrace not allowed, or a "
                              "launcher runs it)";

// A launcher in `scratch` that runs the program under strace with `options`, three
// threads flushing; empty when strace cannot trace here. LeakSanitizer, in a sanitizer
// build, cannot work under a tracer.
std::string strace_launcher(const testing_support::ScratchFolder& scratch, const std::string& options) {
  if (!testing_support::launcher().empty()) return {};
  const std::string launch = (scratch.path() / "launch").string();
  scratch.write("launch", "#!/bin/sh\nexport GMGATHER_THREADS=3 "
                          "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\"\n"
                          "exec strace -f -qq " + options + " \"$@\"\n");
  std::filesystem::permissions(launch, std::filesystem::perms::owner_all);
  return std::system((launch + " /bin/true >/dev/null 2>&1").c_str()) == 0 ? launch : std::string();
}

TEST(DurableResults, EachFileIsOnTheDiskBeforeItsRenameAndTheFolderAfterTheLast) {
  testing_support::ScratchFolder folder, scratch;
  testing_support::DataSet::small().write_to(folder);
  for (const char* name : kResultFiles) folder.write(name, "an earlier run");
  // Successful calls only (-z), each on one line when it returns.
  const std::string trace = (scratch.path() / "trace").string();
  const std::string launch = strace_launcher(scratch, "-z -y -xx -s 4096 -o " + trace +
                                                          " -e trace=fdatasync,fsync,rename,renameat,renameat2");
  if (launch.empty()) GTEST_SKIP() << kNoTracer << ": the order of flushes is not checked";
  const auto r = testing_support::run_program(GMGATHER_EXE, folder.path(), "def.csv\n", 0, launch);
  ASSERT_EQ(r.status, 0) << r.err;

  const std::string dir = std::filesystem::canonical(folder.path()).string();
  std::set<std::string> flushed;  // with -y a descriptor shows its file: fsync(3</dir/name>)
  std::size_t placed = 0;
  bool folder_after_last = false;
  std::istringstream lines(scratch.read("trace"));
  for (std::string line; std::getline(lines, line);) {
    line = decoded(line);
    const std::size_t at = line.find("sync(");
    const std::size_t open = line.find('<', at), quote = line.find('"');
    if (at != std::string::npos && open != std::string::npos) {
      const std::string path = line.substr(open + 1, line.find('>', open) - open - 1);
      flushed.insert(path);
      folder_after_last |= path == dir && placed == std::size(kResultFiles);
    } else if (quote != std::string::npos) {
      const std::string from = line.substr(quote + 1, line.find('"', quote + 1) - quote - 1);
      if (!from.ends_with(".part")) continue;  // an earlier file moving to its backup name
      EXPECT_TRUE(flushed.contains(dir + "/" + from)) << from << " renamed before its flush";
      ++placed;
    }
  }
  EXPECT_EQ(placed, std::size(kResultFiles));
  EXPECT_TRUE(folder_after_last) << "the folder is not flushed after the last rename";
}

// The host refuses to remove the copy of the earlier page once a set without a page is in
// place: the run ends 0 and says so, the marker stays, and the next start removes the
// copy. The earlier page never comes back beside the new files.
TEST(DurableResults, ACopyThatCannotBeRemovedIsRemovedByTheNextStart) {
  testing_support::ScratchFolder folder, scratch;
  testing_support::DataSet::small().write_to(folder);
  const std::string page = "参考･結果図表.html";
  for (const char* name : kResultFiles) folder.write(name, "an earlier run");
  folder.write(page, "an earlier page");
  const std::string launch = strace_launcher(scratch, "-o /dev/null -P " + page +
                                                          ".old -e trace=unlink,unlinkat -e inject=unlink,unlinkat:error=EACCES");
  if (launch.empty()) GTEST_SKIP() << kNoTracer << ": no removal can be refused";
  const auto r = testing_support::run_program(GMGATHER_EXE, folder.path(), "def.csv\n", 0, launch);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find(".html.old could not be removed: gmgather-unfinished.txt stays"), std::string::npos) << r.err;
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "gmgather-unfinished.txt"));

  const auto next = testing_support::run_with_arguments(folder.path(), {"nosuch.csv"});
  EXPECT_EQ(next.status, 1);
  EXPECT_EQ(next.err, "gmgather: finished putting in place the result files an interrupted run had left (0 files "
                      "put in place, 1 earlier copy removed)\r\nnosuch.csv not exist !\r\n");
  const auto files = folder.snapshot();
  EXPECT_FALSE(files.contains(page) || files.contains(page + ".old") || files.contains("gmgather-unfinished.txt"));
  for (const char* name : kResultFiles) EXPECT_NE(files.at(name), "an earlier run") << name;
}

}  // namespace
