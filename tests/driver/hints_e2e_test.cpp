// Hints end to end: each hint of the program, provoked by a minimal folder given on the
// command line, follows the ending's message word for word; the folder's clean twin runs
// without a word; and the dialogue on the spoilt folder writes what it always wrote,
// with no hint on either stream.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "driver/hints.hpp"
#include "support/cp932.hpp"
#include "support/data_set.hpp"
#include "support/process.hpp"
#include "support/warnings_line.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::DataSet;
using testing_support::kSpectrumHost;
using testing_support::kWaveformHost;
using testing_support::RunResult;
using testing_support::ScratchFolder;
using testing_support::to_cp932;
using Change = std::function<void(const ScratchFolder&)>;

const std::string kSpectrum1 = std::string("quake/fault1/") + kSpectrumHost;
const std::string kWaveform1 = std::string("quake/case1/") + kWaveformHost;

void edit(const ScratchFolder& f, const std::string& file, const std::string& from, const std::string& to) {
  std::string text = f.read(file);
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from << " in " << file;
  f.write(file, text.replace(at, from.size(), to));
}
Change edit_definition(const std::string& from, const std::string& to) {
  return [=](const ScratchFolder& f) { edit(f, "def.csv", from, to); };
}
Change put(const std::string& file, const std::string& bytes) {
  return [=](const ScratchFolder& f) { f.write(file, bytes); };
}
Change rename_path(const std::string& from, const std::string& to) {
  return [=](const ScratchFolder& f) {
    fs::create_directories((f.path() / fs::path(to)).parent_path());
    fs::rename(f.path() / fs::path(from), f.path() / fs::path(to));
  };
}
Change both(Change a, Change b) {
  return [=](const ScratchFolder& f) {
    a(f);
    b(f);
  };
}
// Fault 1's table with `header` header lines and `rows` rows. A header line added holds
// numbers and commas, as a list of dampings does, and must not be taken for a row.
Change table_of(int header, int rows) {
  return [=](const ScratchFolder& f) {
    std::string table = DataSet::small().spectrum_table(0);
    for (int i = 0; i < 15 - header; ++i) table.erase(0, table.find('\n') + 1);
    for (int i = 15; i < header; ++i) table.insert(0, "0.00,0.05,0.10\r\n");
    for (int i = rows; i < 55; ++i) table.erase(table.rfind('\n', table.size() - 2) + 1);
    f.write(kSpectrum1, table);
  };
}
// Fault 1 in a folder of a Japanese name, and the definition file that names it in UTF-8,
// as some editors save it.
void japanese_folder(const ScratchFolder& f) {
  fs::rename(f.path() / "quake/fault1", f.path() / "quake/断層A");
  edit(f, "def.csv", "1,quake\\fault1", "1,quake\\断層A");
}
std::string not_exist(const std::string& path) { return path + " not exist !\r\n"; }
std::string severe(int number, const char* message, int unit, const std::string& file) {
  return "txtrec: severe (" + std::to_string(number) + "): " + message + ", unit " + std::to_string(unit) +
         ", file " + file + "\n";
}

struct Case {
  const char* id;
  Change spoil, mend;  // the minimal mistake, and the same folder set right
  std::string message;  // UTF-8: what standard error holds before the hint
  std::string hint;     // UTF-8, after "gmgather: hint: "
  std::string name = "def.csv";  // as given on the command line
  int status = 1;
};

void expect_hint(const Case& c) {
  SCOPED_TRACE(c.id);
  ScratchFolder spoilt, twin;
  for (const ScratchFolder* f : {&spoilt, &twin}) DataSet::small().write_to(*f);
  c.spoil(spoilt);
  c.spoil(twin);
  c.mend(twin);
  const RunResult r = testing_support::run_with_arguments(spoilt.path(), {c.name});
  EXPECT_EQ(r.err, to_cp932(c.message) + std::string(gm::kHintPrefix) + to_cp932(c.hint) + "\r\n");
  EXPECT_EQ(r.status, c.status);
  const RunResult asked = testing_support::run_in(spoilt, "'" + c.name + "'\n\n");
  EXPECT_EQ((asked.out + asked.err).find("hint"), std::string::npos) << asked.out << asked.err;
  // Quiet but for the line that counts the small set's short records.
  const RunResult clean = testing_support::run_with_arguments(twin.path(), {c.name});
  EXPECT_EQ(clean.err, testing_support::warnings_line(testing_support::kSmallSetWarnings,
                                                      testing_support::named(to_cp932(c.name))));
  EXPECT_EQ(clean.status, 0);
}

TEST(Hints, EachFollowsItsEndingAndItsCleanTwinStaysQuiet) {
  const std::string spectrum1 = "quake\\fault1\\Velmora長周期.csv", waveform1 = "quake\\case1\\加速度波形.acc";
  const Change sets = both(rename_path("quake", "sets/quake"), rename_path("def.csv", "sets/def.csv"));
  const Case cases[] = {
      {"utf8", japanese_folder, edit_definition("断層A", to_cp932("断層A")), "quake\\譁ｭ螻､A\\Velmora長周期.csv not exist !\r\n",
       "def.csv reads as UTF-8, so its Japanese folder names do not match: save it as Shift-JIS (in Excel: CSV "
       "(Comma delimited))"},
      {"utf16", [](const ScratchFolder& f) { f.write("def.csv", "\xFF\xFE" "t\0\r\0\n\0" "2\0,\0" "3\0"); },
       [](const ScratchFolder& f) { DataSet::small().write_to(f); }, "Fault number or Case number Error !\r\n",
       "def.csv is saved as UTF-16 (Unicode text): save it as Shift-JIS"},
      {"bom", put(kWaveform1, "\xEF\xBB\xBF" "3,0.02\r\n100 100 100\r\n"), put(kWaveform1, "3,0.02\r\n100 100 100\r\n"),
       severe(64, "input conversion error", 13, waveform1),
       waveform1 + " begins with a byte-order mark (UTF-8 with BOM): save it as Shift-JIS or plain ASCII, without one",
       "def.csv", 2},
      {"header-comma, a blank", put(kWaveform1, "3 0.02\r\n100 100 100\r\n"), put(kWaveform1, "3,0.02\r\n100 100 100\r\n"),
       severe(64, "input conversion error", 13, waveform1),
       "line 1 of " + waveform1 + " needs a comma between the count and the interval: 3,0.02", "def.csv", 2},
      {"header-comma, a tab", put(kWaveform1, "3\t0.020\r\n100 100 100\r\n"),
       put(kWaveform1, "3,0.020\r\n100 100 100\r\n"), severe(64, "input conversion error", 13, waveform1),
       "line 1 of " + waveform1 + " needs a comma between the count and the interval: 3,0.020", "def.csv", 2},
      {"header-lines, 14", table_of(14, 55), table_of(15, 55), severe(24, "end-of-file during read", 12, spectrum1),
       spectrum1 + " has 14 header lines before its first row of numbers (line 15): a spectrum table has exactly 15",
       "def.csv", 2},
      {"header-lines, 16", table_of(16, 55), table_of(15, 55), severe(64, "input conversion error", 12, spectrum1),
       spectrum1 + " has 16 header lines before its first row of numbers (line 17): a spectrum table has exactly 15",
       "def.csv", 2},
      {"rows", table_of(15, 54), table_of(15, 55), severe(24, "end-of-file during read", 12, spectrum1),
       spectrum1 + " ends after 54 of the 55 rows of numbers a spectrum table needs", "def.csv", 2},
      {"samples", put(kWaveform1, "4,0.02\r\n100 100 100\r\n"), put(kWaveform1, "3,0.02\r\n100 100 100\r\n"),
       severe(24, "end-of-file during read", 13, waveform1),
       "line 1 of " + waveform1 + " announces 4 samples, but the file ends before the last of them: correct the "
                                  "count or add the samples",
       "def.csv", 2},
      {"samples, a header in fixed columns", put(kWaveform1, std::string(19, ' ') + "4" + std::string(16, ' ') +
                                                   "0.02\r\n100 100 100\r\n"),
       put(kWaveform1, std::string(19, ' ') + "3" + std::string(16, ' ') + "0.02\r\n100 100 100\r\n"), severe(24, "end-of-file during read", 13, waveform1),
       "line 1 of " + waveform1 + " announces 4 samples, but the file ends before the last of them: correct the "
                                  "count or add the samples",
       "def.csv", 2},
      {"trailing", edit_definition("1,quake\\case1\r\n", "1,quake\\case1,,\r\n"),
       edit_definition("1,quake\\case1,,\r\n", "1,quake\\case1\r\n"), not_exist("quake\\case1,,\\加速度波形.acc"),
       "the folder path \"quake\\case1,,\" ends in \",,\", as a spreadsheet saves empty columns: remove them from "
       "def.csv"},
      {"counts", edit_definition("2,3\r\n", "2,22\r\n"), edit_definition("2,22\r\n", "2,3\r\n"),
       "Fault number or Case number Error !\r\n",
       "line 2 of def.csv gives 2 fault(s) and 22 case(s): a run takes 1 to 6 faults and 1 to 21 cases"},
      {"counts-unread", edit_definition("2,3\r\n", "2,,3\r\n"), edit_definition("2,,3\r\n", "2,3\r\n"),
       "Fault number or Case number Error !\r\n",
       "line 2 of def.csv must give the fault count (1 to 6) and the case count (1 to 21), as 2,3"},
      {"yen", edit_definition("1,quake\\fault1", "1,quake\x81\x8f" "fault1"),
       edit_definition("1,quake\x81\x8f" "fault1", "1,quake\\fault1"), not_exist("quake￥fault1\\Velmora長周期.csv"),
       "the folder path \"quake￥fault1\" holds a full-width yen sign, which separates nothing: write a backslash "
       "instead"},
      {"blank", edit_definition("1,quake\\fault1", "1, quake\\fault1"),
       edit_definition("1, quake\\fault1", "1,quake\\fault1"), not_exist(" quake\\fault1\\Velmora長周期.csv"),
       "the folder path \" quake\\fault1\" begins with a blank, kept from behind the comma: remove it from def.csv"},
      {"relative", sets, rename_path("sets/quake", "quake"), not_exist(spectrum1),
       "\"quake\\fault1\" is there beside sets/def.csv, but relative folder paths start from the current folder: "
       "run gmgather in the folder of sets/def.csv",
       "sets/def.csv"},
      {"extension", rename_path(kWaveform1, kWaveform1 + ".txt"), rename_path(kWaveform1 + ".txt", kWaveform1),
       not_exist(waveform1), "the folder holds \"加速度波形.acc.txt\": rename it to \"加速度波形.acc\" (Explorer "
                             "hides known extensions)"},
      {"no-file", rename_path(kSpectrum1, "quake/fault1/Velmora長期.csv"),
       rename_path("quake/fault1/Velmora長期.csv", kSpectrum1), not_exist(spectrum1),
       "the folder \"quake\\fault1\" is there, but holds no file named exactly \"Velmora長周期.csv\""},
      {"line-comma", edit_definition("1,quake\\fault1", "1 quake\\fault1"),
       edit_definition("1 quake\\fault1", "1,quake\\fault1"), severe(64, "input conversion error", 11, "def.csv"),
       "each fault and case line of def.csv is its number, a comma and the folder path, as 1,faults\\F1",
       "def.csv", 2},
      {"lines", edit_definition("2,quake\\case2\r\nnotes after the case section are never read\r\n", ""),
       edit_definition("3,quake\\case3\r\n", "3,quake\\case3\r\n2,quake\\case2\r\n"), severe(24, "end-of-file during read", 11, "def.csv"),
       "def.csv ends before all the fault and case lines its counts (line 2) announce", "def.csv", 2},
      {"too-many", put(kWaveform1, "100001,0.02\r\n1\r\n"), put(kWaveform1, "3,0.02\r\n100 100 100\r\n"),
       waveform1 + " too many samples !\r\n",
       "a case holds at most 100000 samples (2000 s at 0.02 s): check the count on line 1 of " + waveform1},
      {"check", put(kWaveform1, "3,0.02\r\n100 1.2.3 100\r\n"), put(kWaveform1, "3,0.02\r\n100 1.2 100\r\n"),
       severe(59, "list-directed I/O syntax error", 13, waveform1),
       "gmgather --check def.csv names the line and the value that failed", "def.csv", 2},
  };
  std::set<std::string> provoked;
  for (const Case& c : cases) {
    expect_hint(c);
    provoked.insert(std::string(c.id).substr(0, std::string(c.id).find(',')));
  }
  // A new hint comes with its folder here.
  std::set<std::string> hints;
  for (const gm::HintText& h : gm::kHints) hints.insert(std::string(h.id));
  EXPECT_EQ(provoked, hints);
}

}  // namespace
