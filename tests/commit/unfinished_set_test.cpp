// What a start makes of a folder a stopped run left: the committed set finished, an
// uncommitted one undone, a marker not ours left alone. Files are made and read through
// the file layer, so the Shift-JIS names work alike on both hosts (this test also runs in
// the Windows build).
#include "commit/unfinished_set.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "commit/marker.hpp"
#include "commit/names.hpp"
#include "platform/file_system.hpp"
#include "results/result_set.hpp"

namespace {

using Action = commit::SetRepair::Action;
platform::FileSystem& host = platform::host_file_system();

const std::string kA(results::kTargetSpectrumFile);
const std::string kB(results::kPhaseWaveformFile);
const std::string kC = "c.csv";  // ASCII: the test makes folders of its name by the host's spelling
const std::string kPage(results::kReportPageFile);
const std::vector<std::string_view> kSet = {kA, kB, kC, kPage};
constexpr const char* kFolder = "<folder>";

class Folder {
 public:
  Folder() {
    std::random_device random;
    do {
      dir_ = std::filesystem::temp_directory_path() / ("gmgather-set-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(dir_));
    prefix_ = (dir_ / "").string();
  }
  ~Folder() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::string& prefix() const { return prefix_; }
  void put(const std::string& name, const std::string& bytes) const {
    if (bytes == kFolder) {
      std::filesystem::create_directory(dir_ / name);
      return;
    }
    platform::OutputFile file;
    ASSERT_EQ(file.create(prefix_ + name), platform::OpenError::None) << name;
    ASSERT_TRUE(file.write(bytes.data(), bytes.size()) && file.close());
  }
  std::optional<std::string> get(const std::string& name) const {
    const platform::FileKind kind = platform::file_kind(prefix_ + name);
    if (kind == platform::FileKind::Folder) return kFolder;
    if (kind != platform::FileKind::File) return std::nullopt;
    platform::InputFile file;
    if (file.open(prefix_ + name) != platform::OpenError::None) return "<unreadable>";
    std::string bytes(4096, '\0');
    const std::ptrdiff_t got = file.read(bytes.data(), bytes.size());
    bytes.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return bytes;
  }
  // Exactly these entries, nothing else.
  void expect_holds(const std::vector<std::pair<std::string, std::string>>& entries) const {
    for (const auto& [name, bytes] : entries) EXPECT_EQ(get(name), bytes) << name;
    const auto count = std::distance(std::filesystem::directory_iterator(dir_), std::filesystem::directory_iterator());
    EXPECT_EQ(static_cast<std::size_t>(count), entries.size());
  }

 private:
  std::filesystem::path dir_;
  std::string prefix_;
};

std::string marker(const std::vector<std::string_view>& placed, const std::vector<std::string_view>& removed = {}) {
  return commit::compose_marker(placed, removed);
}

const std::string kMarker(commit::kMarkerFile);

struct Case {
  const char* what;
  std::vector<std::pair<std::string, std::string>> before, after;
  Action action;
  std::string said;  // a part of the line, or "" for no line
};

TEST(FinishUnfinishedSet, LeavesAllNewOrAllEarlier) {
  const std::string m_abc_page = marker({kA, kB, kC}, {kPage});
  const Case cases[] = {
      {"killed between the renames of b: forward",
       {{kMarker, m_abc_page}, {kA, "new a"}, {kA + ".old", "old a"}, {kB + ".old", "old b"},
        {kB + ".part", "new b"}, {kC, "old c"}, {kC + ".part", "new c"}, {kPage, "old page"}},
       {{kA, "new a"}, {kB, "new b"}, {kC, "new c"}},
       Action::RolledForward, "(2 files put in place, 2 earlier copies removed)"},
      {"committed, no rename yet: forward, the page not written this time removed",
       {{kMarker, m_abc_page}, {kA, "old a"}, {kA + ".part", "new a"}, {kB + ".part", "new b"},
        {kC + ".part", "new c"}, {kPage, "old page"}, {kPage + ".old", "older page"}},
       {{kA, "new a"}, {kB, "new b"}, {kC, "new c"}},
       Action::RolledForward, "(3 files put in place, 1 earlier copy removed)"},
      {"killed before the marker went: forward again, nothing left to rename",
       {{kMarker, m_abc_page}, {kA, "new a"}, {kB, "new b"}, {kC, "new c"}},
       {{kA, "new a"}, {kB, "new b"}, {kC, "new c"}},
       Action::RolledForward, "(0 files put in place)"},
      {"a marker naming a file that is not there: the rest finished",
       {{kMarker, marker({kA, kB})}, {kA + ".part", "new a"}},
       {{kA, "new a"}},
       Action::RolledForward, "neither there nor waiting as"},
      // No run of this version leaves a copy without the marker: it may be the only copy
      // of an earlier file, or one of a set since replaced. Never brought back, never lost.
      {"no marker: stray temporaries removed, copies left as they are",
       {{kA, "old a"}, {kA + ".part", "new a"}, {kB + ".old", "old b"}, {kC, "new c"}, {kC + ".old", "old c"}},
       {{kA, "old a"}, {kB + ".old", "old b"}, {kC, "new c"}, {kC + ".old", "old c"}},
       Action::RolledBack, "(1 temporary file removed); " + kB + ".old left as it is (a copy an earlier version"},
      {"no marker, only a copy: named, nothing else done",
       {{kPage + ".old", "old page"}, {kA, "new a"}},
       {{kPage + ".old", "old page"}, {kA, "new a"}},
       Action::Nothing, "move it away, no run puts " + kPage + " in place while it is there"},
      {"a marker cut short within its list: back",
       {{kMarker, marker({kA, kB}).substr(0, commit::kMarkerFirstLine.size() + 12)}, {kA, "old a"},
        {kA + ".part", "new a"}},
       {{kA, "old a"}},
       Action::RolledBack, "(1 temporary file removed)"},
      {"a marker whose data never reached the disk (zeros): back",
       {{kMarker, std::string(40, '\0')}, {kB + ".part", "new b"}},
       {},
       Action::RolledBack, "the earlier result files are as they were"},
      {"a marker not ours: nothing touched",
       {{kMarker, "my own notes\r\n"}, {kA + ".part", "new a"}, {kB + ".old", "old b"}},
       {{kMarker, "my own notes\r\n"}, {kA + ".part", "new a"}, {kB + ".old", "old b"}},
       Action::Refused, "not written by this version"},
      {"a marker naming a file outside the set: refused",
       {{kMarker, marker({kA, "def.csv"})}, {kA + ".part", "new a"}},
       {{kMarker, marker({kA, "def.csv"})}, {kA + ".part", "new a"}},
       Action::Refused, "names a file that is not one of the result files"},
      {"a marker naming a file twice: refused",
       {{kMarker, marker({kA}, {kA})}, {kA + ".part", "new a"}},
       {{kMarker, marker({kA}, {kA})}, {kA + ".part", "new a"}},
       Action::Refused, "or one twice"},
      {"a folder under the marker's name: not ours",
       {{kMarker, kFolder}, {kC + ".part", "new c"}},
       {{kMarker, kFolder}, {kC + ".part", "new c"}},
       Action::Refused, "not written by this version"},
      {"a .part that is a folder: left and said",
       {{kC + ".part", kFolder}, {kC, "old c"}},
       {{kC + ".part", kFolder}, {kC, "old c"}},
       Action::Nothing, "c.csv.part is not a file: left as it is"},
      {"a committed .part that is a folder: left, the rest finished",
       {{kMarker, marker({kA, kC})}, {kA + ".part", "new a"}, {kC + ".part", kFolder}},
       {{kA, "new a"}, {kC + ".part", kFolder}},
       Action::RolledForward, "c.csv.part is not a file"},
      {"a folder under a committed name: stuck, the marker kept",
       {{kMarker, marker({kA, kC})}, {kA + ".part", "new a"}, {kC, kFolder}, {kC + ".part", "new c"}},
       {{kMarker, marker({kA, kC})}, {kA, "new a"}, {kC, kFolder}, {kC + ".part", "new c"}},
       Action::Stuck, "c.csv.part cannot take the name c.csv"},
      {"nothing left", {{kA, "a"}, {kB, "b"}}, {{kA, "a"}, {kB, "b"}}, Action::Nothing, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Folder folder;
    for (const auto& [name, bytes] : c.before) folder.put(name, bytes);
    const commit::StartOutlook outlook = commit::foresee_start(host, folder.prefix(), kSet);
    folder.expect_holds(c.before);  // foreseeing changes nothing
    const commit::SetRepair repair = commit::finish_unfinished_set(host, folder.prefix(), kSet);
    EXPECT_EQ(repair.action, c.action);
    // A check says what the start does: the very line when the start ends the run.
    EXPECT_EQ(outlook.ends_run, repair.ends_run());
    if (outlook.ends_run) {
      EXPECT_EQ("gmgather: " + outlook.text + "\r\n", repair.line);
    }
    if (c.said.empty()) {
      EXPECT_EQ(repair.line, "");
      EXPECT_EQ(outlook.text, "");
    } else {
      EXPECT_NE(repair.line.find(c.said), std::string::npos) << repair.line;
      EXPECT_TRUE(repair.line.ends_with("\r\n") && repair.line.find('\n') == repair.line.size() - 1);
      EXPECT_NE(outlook.text, "");
    }
    folder.expect_holds(c.after);
  }
}

TEST(CommitMarker, WritesBareNamesInTheFilesFolderAndIsRemoved) {
  Folder folder;
  const std::string a = folder.prefix() + kA, page = folder.prefix() + kPage;
  const std::vector<std::string_view> placed = {a}, removed = {page};
  ASSERT_FALSE(commit::write_marker(host, placed, removed, 27).fault.has_value());
  const std::string expected = std::string(commit::kMarkerFirstLine) + "\r\nplace " + kA + "\r\nremove " + kPage +
                               "\r\nend 2\r\n";
  folder.expect_holds({{kMarker, expected}});
  // A marker a run left is ours to replace.
  ASSERT_FALSE(commit::write_marker(host, removed, {}, 27).fault.has_value());
  EXPECT_EQ(folder.get(kMarker), marker({kPage}));
  EXPECT_EQ(commit::remove_marker(host, folder.prefix()), platform::OpenError::None);
  folder.expect_holds({});
}

TEST(CommitMarker, RefusesAFileNotOursAndNamesItCannotRecord) {
  Folder folder;
  folder.put(kMarker, "my own notes\r\n");
  const std::string a = folder.prefix() + kA;
  const std::vector<std::string_view> placed = {a};
  const auto fault = commit::write_marker(host, placed, {}, 26).fault;
  ASSERT_TRUE(fault.has_value());
  EXPECT_EQ(fault->number, 9);
  EXPECT_EQ(fault->unit, 26);
  EXPECT_EQ(fault->file, folder.prefix() + kMarker);
  folder.expect_holds({{kMarker, "my own notes\r\n"}});

  const std::string broken = folder.prefix() + "a\r\nend 0";
  const std::vector<std::string_view> unrecordable = {broken};
  EXPECT_EQ(commit::write_marker(host, unrecordable, {}, 26).fault->number, 43);
}

TEST(CommitMarker, TellsOursFromCutShortFromForeign) {
  using Kind = commit::MarkerText::Kind;
  const std::string whole = marker({"a.csv", "b.csv"}, {"p.html"});
  const std::string first = std::string(commit::kMarkerFirstLine) + "\r\n";
  const struct {
    const char* what;
    std::string bytes;
    Kind kind;
  } cases[] = {
      {"whole", whole, Kind::Ours},
      {"whole, zeros after it", whole + std::string(8, '\0'), Kind::Ours},
      {"empty", "", Kind::CutShort},
      {"within the first line", first.substr(0, 20), Kind::CutShort},
      {"first line only", first, Kind::CutShort},
      {"without its end line", whole.substr(0, whole.find("end")), Kind::CutShort},
      {"end line cut", whole.substr(0, whole.size() - 2), Kind::CutShort},
      {"count that does not match", first + "place a.csv\r\nend 2\r\n", Kind::CutShort},
      {"a line after the end", whole + "place c.csv\r\n", Kind::CutShort},
      {"a name with a folder", first + "place ..\\x.csv\r\nend 1\r\n", Kind::CutShort},
      {"another program's text", "hello\r\n", Kind::Foreign},
      {"another format", "gmgather: result files being put in place; (format 2)\r\n", Kind::Foreign},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const commit::MarkerText text = commit::parse_marker(c.bytes);
    EXPECT_EQ(text.kind, c.kind);
    if (c.kind == Kind::Ours) {
      EXPECT_EQ(text.placed, (std::vector<std::string>{"a.csv", "b.csv"}));
      EXPECT_EQ(text.removed, std::vector<std::string>{"p.html"});
    }
  }
}

TEST(FolderPrefix, EndsAtTheLastSeparatorNotInsideACharacter) {
  EXPECT_EQ(commit::folder_prefix_of("b.csv"), "");
  EXPECT_EQ(commit::folder_prefix_of("a\\b.csv"), "a\\");
  EXPECT_EQ(commit::folder_prefix_of("/tmp/x/b.csv"), "/tmp/x/");
  EXPECT_EQ(commit::folder_prefix_of("\x95\x5C.csv"), "");              // 表.csv
  EXPECT_EQ(commit::folder_prefix_of("d\\\x95\x5C\\b.csv"), "d\\\x95\x5C\\");  // d\表\b.csv
}

}  // namespace
