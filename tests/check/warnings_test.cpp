// Every kind of warning: a minimal input that provokes it, and a clean twin that does not.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "tests_inputs.hpp"

namespace {

using check::Finding;
using check::Findings;
using namespace check_tests;

enum class File { Waveform, Spectrum, Spectrum2, Definition };

Findings check_file(File file, const std::string& bytes) {
  switch (file) {
    case File::Waveform: return check_waveform_bytes(bytes);
    case File::Spectrum: return check_spectrum_bytes(bytes);
    case File::Spectrum2: return check_spectrum_bytes(bytes, 2, spectrum_table());
    case File::Definition: return check_definition_bytes(bytes);
  }
  return {};
}

std::string listed(const Findings& f) {
  std::string text;
  for (const Finding& finding : f.list()) text += check::format_finding(finding);
  return text;
}

struct WarningCase {
  const char* kind;
  File file;
  std::string bad;
  std::string clean;
  int line;
  std::string text;  // a piece of the warning's text
};

const std::string kDefinition = "title\n2,3\nfaults\n1,f1\n2,f2\ncases\n1,c1\n2,c2\n3,c3\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

// The findings but the warnings of a record shorter than the fewest samples, which most of
// these small inputs are.
std::size_t besides_short_records(const Findings& f) {
  std::size_t n = 0;
  for (const Finding& finding : f.list()) n += finding.text.find("(2 s at 0.02 s)") == std::string::npos ? 1u : 0u;
  return n;
}

// A waveform of `n` samples, ten to a line: `value` each, the last one `last`.
std::string waveform_of(int n, const std::string& value, const std::string& last) {
  std::string w = std::to_string(n) + ",0.02\n";
  for (int j = 1; j <= n; ++j) w += (j == n ? last : value) + (j % 10 == 0 || j == n ? "\n" : " ");
  return w;
}

const std::string kByteOrderMark = "\xEF\xBB\xBF";

TEST(Warnings, EachKindProvokedByItsInputAndNotByItsCleanTwin) {
  const WarningCase cases[] = {
      {"interval", File::Waveform, "3,0.01\n1 2 3\n", "3,2.0E-2\n1 2 3\n", 1,
       "the sampling interval `0.01` is not 0.02"},
      {"count with blanks", File::Waveform, "1 2,0.02\n1 2 3 4 5 6 7 8 9 10 11 12\n",
       "12,0.02\n1 2 3 4 5 6 7 8 9 10 11 12\n", 1, "the sample count field `1 2` has blanks inside: it reads as 12"},
      {"count cut at 20 bytes", File::Waveform, "000000000000000000030.02\n1 2 3\n",
       "                   3                0.02\n1 2 3\n", 1,
       "the sample count `000000000000000000030.02` is longer than its 20-byte field: it is cut to "
       "`00000000000000000003`"},
      {"count of 0", File::Waveform, "0,0.02\n1.5 2.5\n", "1,0.02\n1.5\n", 1,
       "the sample count is 0: no sample is read, and the peak velocity is 0; the 2 value(s) in the file are not read"},
      {"samples behind the count", File::Waveform, "3,0.02\n1.5 2.5\n3.5\n4.5 5.5\n", "3,0.02\n1.5 2.5\n3.5\n", 3,
       "the count of 3 samples is reached here: 2 value(s) behind it are not read"},
      {"slash", File::Waveform, "3,0.02\n1.5 2.5 / 3.5\n", "3,0.02\n1.5 2.5 3.5/\n", 2,
       "a slash ends the samples after sample 2: samples 3 to 3 are 0"},
      {"decimal comma", File::Waveform, "3,0.02\n1.5\n6,126 2.5\n", "3,0.02\n1.5\n6.126 2.5\n", 3,
       "`6,126` reads as two samples"},
      {"no spectrum value", File::Spectrum, spectrum_table(3, spectrum_row("0.3", "")), spectrum_table(), 18,
       "data row 3 has 27 fields, not 28: its spectrum reads as 0"},
      {"empty spectrum field", File::Spectrum, spectrum_table(3, spectrum_row("0.3", ", ,9")), spectrum_table(), 18,
       "data row 3 has an empty field 28: its spectrum reads as 0"},
      {"blank row", File::Spectrum, spectrum_table(55, ""), spectrum_table(), 70,
       "data row 55 is blank: its period and spectrum read as 0"},
      {"spectrum not above 0", File::Spectrum, spectrum_table(4, spectrum_row("0.4", ",-2.5")), spectrum_table(), 19,
       "the spectrum value `-2.5` in data row 4 is not above 0"},
      {"value cut at 20 bytes", File::Spectrum, spectrum_table(2, "0.2,1.00000000000000000001" + spectrum_row("", ",2").substr(2)),
       spectrum_table(), 17,
       "the value `1.00000000000000000001` in data row 2 is longer than a 20-byte field: it is cut to "
       "`1.000000000000000000` and the rest is read as field 3"},
      {"value of 20 bytes before a comma", File::Spectrum,
       spectrum_table(2, "0.2,1.000000000000000000" + spectrum_row("", ",2").substr(2)), spectrum_table(), 17,
       "field 2 of data row 2, `1.000000000000000000`, fills all 20 bytes: the comma behind it makes an empty field 3"},
      {"rows behind row 55", File::Spectrum, spectrum_table() + spectrum_row("5.6", ",56") + "\n",
       spectrum_table() + "\r\n   \n", 71, "the table goes on behind data row 55: this line is not read"},
      {"period not above 0", File::Spectrum, spectrum_table(1, spectrum_row("0", ",1")), spectrum_table(), 16,
       "the period `0` in data row 1 is not above 0"},
      {"periods not rising", File::Spectrum, spectrum_table(5, spectrum_row("0.40", ",5")), spectrum_table(), 20,
       "the period `0.40` in data row 5 is not greater than `0.4` in data row 4"},
      {"period unlike fault 1's", File::Spectrum2, spectrum_table(2, spectrum_row("0.25", ",2")),
       spectrum_table(2, spectrum_row("0.20", ",2")), 17,
       "the period `0.25` in data row 2 differs from `0.2` in fault 1's table"},
      {"one header line too few", File::Spectrum2, spectrum_table(0, {}, 14) + spectrum_row("5.6", ",56") + "\n",
       spectrum_table(0, {}, 15), 16, "the period `0.2` in data row 1 differs from `0.1` in fault 1's table"},
      {"number field with blanks", File::Definition, replaced(kDefinition, "1,c1", "0 1,c1"), kDefinition, 7,
       "the number field `0 1` of case line 1 has blanks inside: it reads as 1"},
      {"case folder named twice", File::Definition, replaced(kDefinition, "3,c3", "3,c1"), kDefinition, 9,
       "case 3 names the same folder as case 1 (line 7): `c1`"},
      {"fault folder named twice", File::Definition, replaced(kDefinition, "2,f2", "2,f1"), kDefinition, 5,
       "fault 2 names the same folder as fault 1 (line 4): `f1`"},
      {"decimal commas throughout, blank-separated", File::Waveform, "4,0.02\n-6,2510 -5,1234\n",
       "4,0.02\n-6 2510 -5 1234\n", 2,
       "the samples are written with decimal commas: `-6,2510` reads as two samples, -6 and 2510, and so do the 2"},
      {"decimal commas throughout, one per line, an odd count", File::Waveform, "3,0.02\n-6,2510\n-5,1234\n",
       "3,0.02\n-6.2510\n-5.1234\n1.5\n", 2, "`-6,2510` reads as two samples"},
      // 断層 in UTF-8, then in Shift-JIS.
      {"folder name in UTF-8", File::Definition, replaced(kDefinition, "2,c2", "2,c\xE6\x96\xAD\xE5\xB1\xA4"),
       replaced(kDefinition, "2,c2", "2,c\x92\x66\x91\x77"), 8,
       "the folder of case 2, `c\xE6\x96\xAD\xE5\xB1\xA4`, reads as UTF-8 (`c\x92\x66\x91\x77`): the definition file "
       "was saved as UTF-8; save it as Shift-JIS"},
      // A byte-order mark, a short record and one of zeros: the catalogue's, end to end.
  };
  for (const WarningCase& c : cases) {
    SCOPED_TRACE(c.kind);
    const Findings bad = check_file(c.file, c.bad);
    EXPECT_EQ(bad.errors(), 0) << listed(bad);
    bool found = false;
    for (const Finding& f : bad.list()) {
      found = found || (f.severity == Finding::Warning && f.line == c.line && f.text.find(c.text) != std::string::npos);
    }
    EXPECT_TRUE(found) << listed(bad);
    const Findings clean = check_file(c.file, c.clean);
    EXPECT_EQ(besides_short_records(clean), 0u) << listed(clean);
  }
}

// A byte-order mark before a waveform's count: the count does not read, and the warning
// behind that error says why.
TEST(Warnings, AByteOrderMarkBeforeTheCountIsNamedBehindTheError) {
  const Findings f = check_file(File::Waveform, kByteOrderMark + waveform_of(100, "1", "2"));
  ASSERT_EQ(f.size(), 2u) << listed(f);
  EXPECT_EQ(f.list()[0].severity, Finding::Error);
  EXPECT_EQ(check::format_finding(f.list()[1]), "c\\w.acc:1: warning: " + std::string(check::kByteOrderMarkText) + "\r\n");
}

// The rule for a name in UTF-8: Japanese three-byte sequences, and UTF-8 to the end.
TEST(Warnings, NamesReadAsUtf8OnlyWhenNothingElseExplainsThem) {
  const std::pair<std::string, bool> names[] = {
      {"faults\\\xE6\x96\xAD\xE5\xB1\xA4" "A", true},  // 断層A
      {"\xE3\x81\x82", true},                           // あ
      {"\xE2\x82\xAC", false},                          // €: three bytes, not Japanese
      {"\x92\x66\x91\x77", false},                       // 断層 in Shift-JIS
      {"\xE3\x81", false},                               // cut short
      {"\xE3\x81\x82\x82\xA0", false},                  // あ, then Shift-JIS あ: not UTF-8 to the end
      {"\xE0\x80\xBF", false},                           // overlong
  };
  for (const auto& [name, utf8] : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(check::reads_as_utf8(name), utf8);
  }
}

TEST(Warnings, RowsOfOneKindAreCountedOnTheFirst) {
  // A table without its 28th column: one warning on row 1 that counts all 55.
  std::string no_spectrum;
  for (int i = 1; i <= 15; ++i) no_spectrum += "h\n";
  for (int j = 1; j <= 55; ++j) no_spectrum += spectrum_row(std::to_string(j), "") + "\n";
  const Findings f = check_spectrum_bytes(no_spectrum);
  ASSERT_EQ(f.size(), 1u) << listed(f);
  EXPECT_EQ(check::format_finding(f.list()[0]),
            "f\\s.csv:16: warning: data row 1 has 27 fields, not 28: its spectrum reads as 0; 55 rows like it\r\n");
}

// Row 7 in fixed columns: every value right-aligned in its 20 bytes, no commas.
std::string fixed_columns_row() {
  std::string row;
  for (int f = 1; f <= 28; ++f) {
    const std::string value = f == 1 ? "0.7" : f == 28 ? "7.0" : "1.25E+01";
    row += std::string(20 - value.size(), ' ') + value;
  }
  return row;
}

// Inputs a run reads as their writer meant them: no warning.
TEST(Warnings, NoneForTheUsualForms) {
  const std::pair<File, std::string> inputs[] = {
      {File::Waveform, "3,0.02\r\n  1.5000E+00  2.5000E+00\r\n  3.5000E+00\r\n"},
      {File::Waveform, "3\n1.5,2.5,3.5\n"},                  // no interval; comma-separated decimals
      {File::Waveform, "5,0.02\n1,2,3 4,5\n"},               // whole numbers with commas between
      {File::Waveform, "3,0.02\n1.5 2*2.5\n"},               // a repeat count
      {File::Spectrum, spectrum_table(7, fixed_columns_row())},
      {File::Definition, "title\n2 3\nfaults\n2,f2\n1,f1\ncases\n3,c3\n1,c1\n2,c2\nnotes\n"},
      {File::Definition, "title\n1,1\nfaults\n                   1D:\\f\ncases\n1,c\n"},  // fixed columns
  };
  for (const auto& [file, bytes] : inputs) {
    SCOPED_TRACE(bytes.substr(0, 60));
    const Findings f = check_file(file, bytes);
    EXPECT_EQ(besides_short_records(f), 0u) << listed(f);
  }
}

}  // namespace
