// Putting a set of files in place: what the folder holds after success, after a flush the
// disk refuses, after a backup name found taken, and the order of the calls that end a
// placement.
#include "commit/staged_files.hpp"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "support/fake_console.hpp"
#include "support/test_file_system.hpp"

namespace {

using testing_support::Call;

constexpr textio::Descriptor kLine[] = {{textio::Descriptor::Kind::A}};
const std::string kMarker = "gmgather-unfinished.txt";

struct Case {
  const char* what;
  const char* refuse_flush;  // flushes of files whose path ends so fail, or ""
  const char* taken;         // a backup name held beforehand ("<folder>" or a file), or ""
  const char* taken_by;
  int threads;
  int number, unit;  // the fault; 0: all placed
  const char* file;
};

TEST(StagedFiles, PlacesAllOrLeavesTheFolderAsItWas) {
  const Case cases[] = {
      {"all placed; a temporary file a run cut short left is overwritten", "", "", "", 3, 0, 0, ""},
      {"the flush of b fails", "b.csv.part", "", "", 1, 38, 22, "b.csv"},
      {"the flush of b fails while c is written", "b.csv.part", "", "", 3, 38, 22, "b.csv"},
      {"every flush fails: the first file is named", ".part", "", "", 3, 38, 21, "a.csv"},
      {"a folder under c's backup name", "", "c.csv.old", "<folder>", 2, 9, 23, "c.csv"},
      // Such a copy may be the only one of an earlier file: never replaced nor removed.
      {"a copy an earlier version left under b's backup name", "", "b.csv.old", "old b", 1, 9, 22, "b.csv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing_support::MemoryFileSystem memory;
    memory.put("b.csv", "earlier b");
    memory.put("c.csv", "earlier c");
    memory.put("c.csv.part", "temporary file left by a run cut short");
    if (*c.taken != '\0') memory.put(c.taken, c.taken_by);
    std::map<std::string, std::string> before = memory.entries();
    before.erase("c.csv.part");  // a run overwrites it, and removes it when the run fails
    testing_support::FailingFileSystem fs(memory);
    if (*c.refuse_flush != '\0') fs.fail(Call::Flush, c.refuse_flush);
    testing_support::FakeConsole console;
    std::optional<textio::Fault> fault;
    {
      const parallel::Pool pool(c.threads);
      commit::StagedFiles files(fs, console, pool);
      int unit = 21;
      for (const char* file : {"a.csv", "b.csv", "c.csv"}) {
        ASSERT_FALSE(files.write(unit++, file, [&](textio::OutputUnit& u) {
          textio::WriteStatement(u, kLine).text(std::string("new ") + file[0]);
        }));
      }
      fault = files.place_all();
    }
    EXPECT_EQ(console.err, "");
    if (c.number == 0) {
      EXPECT_FALSE(fault.has_value());
      const std::map<std::string, std::string> placed = {
          {"a.csv", "new a\r\n"}, {"b.csv", "new b\r\n"}, {"c.csv", "new c\r\n"}};
      EXPECT_EQ(memory.entries(), placed);
      continue;
    }
    ASSERT_TRUE(fault.has_value());
    EXPECT_EQ(fault->number, c.number);
    EXPECT_EQ(fault->unit, c.unit);
    EXPECT_EQ(fault->file, c.file);
    EXPECT_EQ(memory.entries(), before);
  }
}

// The end of a placement: the folder flushed after the renames, then the copies removed,
// the folder flushed again, and only then the marker removed. A copy that cannot be
// removed keeps the marker and is named.
TEST(StagedFiles, RemovesTheMarkerOnlyAfterEveryCopyIsGoneAndFlushed) {
  for (const bool copy_stays : {false, true}) {
    SCOPED_TRACE(copy_stays ? "b.csv.old cannot be removed" : "all removed");
    testing_support::MemoryFileSystem memory;
    memory.put("a.csv", "earlier a");
    memory.put("b.csv", "earlier b");
    testing_support::FailingFileSystem fs(memory);
    if (copy_stays) fs.fail(Call::Remove, "b.csv.old");
    testing_support::FakeConsole console;
    const parallel::Pool pool(1);
    {
      commit::StagedFiles files(fs, console, pool);
      for (const char* file : {"a.csv", "b.csv"}) {
        ASSERT_FALSE(files.write(21, file, [&](textio::OutputUnit& u) { textio::WriteStatement(u, kLine).text("new"); }));
      }
      EXPECT_FALSE(files.place_all().has_value());
    }
    std::string tail;  // the calls after the last rename
    for (const testing_support::LoggedCall& c : fs.log()) {
      if (c.call == Call::Replace) tail.clear();
      if (c.call == Call::Remove) tail += "remove " + c.path + (c.failed ? " (fails), " : ", ");
      if (c.call == Call::FlushFolder) tail += "flush, ";
    }
    if (copy_stays) {
      EXPECT_EQ(tail, "flush, remove a.csv.old, remove b.csv.old (fails), ");
      EXPECT_EQ(console.err, "gmgather: warning: the new result files are in place, but b.csv.old could not be "
                             "removed: " + kMarker + " stays, and the next start of gmgather here removes them\r\n");
      EXPECT_TRUE(memory.entries().contains(kMarker));
    } else {
      EXPECT_EQ(tail, "flush, remove a.csv.old, remove b.csv.old, flush, remove " + kMarker + ", flush, ");
      EXPECT_EQ(console.err, "");
    }
  }
}

}  // namespace
