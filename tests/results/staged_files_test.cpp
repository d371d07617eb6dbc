// Putting a set of files in place: what the folder holds after success, after a flush the
// disk refuses and after a rename refused part way through the set.
#include "results/staged_files.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "support/fake_console.hpp"
#include "support/process.hpp"

namespace {

constexpr textio::Descriptor kLine[] = {{textio::Descriptor::Kind::A}};

struct Case {
  const char* what;
  const char* refuse_flush;  // flushes of files whose path ends so fail
  const char* folder_at;     // a folder under this name beforehand, or ""
  int threads;
  int number, unit;  // the fault; 0: all placed
  const char* file;
};

TEST(StagedFiles, PlacesAllOrLeavesTheFolderAsItWas) {
  const Case cases[] = {
      {"all placed; leftovers of a run cut short go", "", "", 3, 0, 0, ""},
      {"the flush of b fails", "b.csv.part", "", 1, 38, 22, "b.csv"},
      {"the flush of b fails while c is written", "b.csv.part", "", 3, 38, 22, "b.csv"},
      {"every flush fails: the first file is named", ".part", "", 3, 38, 21, "a.csv"},
      // a goes in without a backup (it is new), b over its backup, then c cannot be backed up.
      {"c cannot be backed up: a and b are undone", "", "c.csv.old", 2, 9, 23, "c.csv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing_support::ScratchFolder folder;
    const auto name = [&](const char* file) { return (folder.path() / file).string(); };
    folder.write("b.csv", "earlier b");
    folder.write("c.csv", "earlier c");
    folder.write("a.csv.old", "backup left by a run cut short");
    folder.write("c.csv.part", "temporary file left by a run cut short");
    if (*c.folder_at != '\0') std::filesystem::create_directory(name(c.folder_at));
    std::map<std::string, std::string> before = folder.snapshot();
    before.erase("c.csv.part");  // a run overwrites it, and removes it when the run fails
    platform::refuse_flushes_for_testing(c.refuse_flush);
    testing_support::FakeConsole console;
    std::optional<textio::Fault> fault;
    {
      const parallel::Pool pool(c.threads);
      results::StagedFiles files(console, pool);
      int unit = 21;
      for (const char* file : {"a.csv", "b.csv", "c.csv"}) {
        ASSERT_FALSE(files.write(unit++, name(file), [&](textio::OutputUnit& u) {
          textio::WriteStatement(u, kLine).text(std::string("new ") + file[0]);
        }));
      }
      fault = files.place_all();
    }
    platform::refuse_flushes_for_testing("");
    EXPECT_EQ(console.err, "");
    if (c.number == 0) {
      EXPECT_FALSE(fault.has_value());
      const std::map<std::string, std::string> placed = {
          {"a.csv", "new a\r\n"}, {"b.csv", "new b\r\n"}, {"c.csv", "new c\r\n"}};
      EXPECT_EQ(folder.snapshot(), placed);
      continue;
    }
    ASSERT_TRUE(fault.has_value());
    EXPECT_EQ(fault->number, c.number);
    EXPECT_EQ(fault->unit, c.unit);
    EXPECT_EQ(fault->file, name(c.file));
    EXPECT_EQ(folder.snapshot(), before);
  }
}

}  // namespace
