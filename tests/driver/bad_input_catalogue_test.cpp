// A catalogue of bad inputs, run end to end. Each case spoils one thing in a valid data set
// (or in the console answer) and states exactly how the run must end: the console text, the
// report line, the exit status. Whatever the ending, the result files of an earlier run must
// stay byte for byte as they were, and no file may be left behind or taken away.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/catalogue.hpp"
#include "support/process.hpp"

namespace {

using namespace catalogue;

const BadInput kMissing[] = {
    {"definition file in a folder that does not exist", nullptr, "nofolder\\def.csv\n\n",
     not_exist("nofolder\\def.csv"), "", 1},
    {"definition file is a FIFO", fifo_at("pipe.csv"), "pipe.csv\n\n", not_exist("pipe.csv"), "", 1},
    {"folder of fault 1 missing", delete_path("quake/fault1"), kAnswer, not_exist(spectrum_path(1)), "", 1},
    {"spectrum table of fault 1 missing", delete_path(spectrum_file(1)), kAnswer, not_exist(spectrum_path(1)),
     "", 1},
    {"spectrum table of fault 1 is a folder", folder_at(spectrum_file(1)), kAnswer,
     not_exist(spectrum_path(1)), "", 1},
    {"spectrum table of fault 1 is a FIFO", fifo_at(spectrum_file(1)), kAnswer, not_exist(spectrum_path(1)),
     "", 1},
    {"spectrum table of fault 1 is a link to an endless device", symlink_at(spectrum_file(1), "/dev/zero"),
     kAnswer, not_exist(spectrum_path(1)), "", 1},
    {"folder of fault 2 missing", delete_path("quake/fault2"), kAnswer, not_exist(spectrum_path(2)), "", 1},
    {"spectrum table of fault 2 is a folder", folder_at(spectrum_file(2)), kAnswer,
     not_exist(spectrum_path(2)), "", 1},
    {"a file where the folder of fault 2 is expected", edit_definition("2,quake\\fault2", "2,def.csv"),
     kAnswer, not_exist("def.csv" + kSpectrumName), "", 1},
    {"tables of faults 2 and 3 both missing: fault 2 is reported",
     all_of({edit_definition("2,3\r\n", "3,3\r\n"),
             edit_definition("2,quake\\fault2\r\n", "2,quake\\fault2\r\n3,quake\\fault3\r\n"),
             delete_path(spectrum_file(2))}),
     kAnswer, not_exist(spectrum_path(2)), "", 1},
    {"folder of case 3 (the last) missing", delete_path("quake/case3"), kAnswer, not_exist(waveform_path(3)),
     "", 1},
    {"waveform of case 3 missing", delete_path(waveform_file(3)), kAnswer, not_exist(waveform_path(3)), "",
     1},
    {"waveform of case 3 is a folder", folder_at(waveform_file(3)), kAnswer, not_exist(waveform_path(3)), "",
     1},
    {"waveform of case 3 is a FIFO", fifo_at(waveform_file(3)), kAnswer, not_exist(waveform_path(3)), "", 1},
};

TEST(CatalogueMissing, EachStageEndsWithItsMessage) {
  for (const BadInput& c : kMissing) expect_ending(c);
}

// The definition file: counts and section lines.
const BadInput kDefinition[] = {
    {"a title and nothing else", put("def.csv", "title only\r\n"), kAnswer, kBadCounts, "", 1},
    {"a title without a line end", put("def.csv", "title only"), kAnswer, kBadCounts, "", 1},
    {"0 faults", edit_definition("2,3\r\n", "0,3\r\n"), kAnswer, kBadCounts, "", 1},
    {"7 faults", edit_definition("2,3\r\n", "7,3\r\n"), kAnswer, kBadCounts, "", 1},
    {"-1 faults", edit_definition("2,3\r\n", "-1,3\r\n"), kAnswer, kBadCounts, "", 1},
    {"0 cases", edit_definition("2,3\r\n", "2,0\r\n"), kAnswer, kBadCounts, "", 1},
    {"-1 cases", edit_definition("2,3\r\n", "2,-1\r\n"), kAnswer, kBadCounts, "", 1},
    {"6 faults and 22 cases", edit_definition("2,3\r\n", "6,22\r\n"), kAnswer, kBadCounts, "", 1},
    {"case count is text", edit_definition("2,3\r\n", "2,three\r\n"), kAnswer, kBadCounts, "", 1},
    {"counts line empty: the heading below is read for them", edit_definition("2,3\r\n", "\r\n"), kAnswer,
     kBadCounts, "", 1},
    {"fault count is a null value", edit_definition("2,3\r\n", ",3\r\n"), kAnswer, kBadCounts, "", 1},
    {"case count is a null value", edit_definition("2,3\r\n", "2,,\r\n"), kAnswer, kBadCounts, "", 1},
    {"a slash after the fault count", edit_definition("2,3\r\n", "2/3\r\n"), kAnswer, kBadCounts, "", 1},
    {"fault count 2^32+2 (would wrap to 2)", edit_definition("2,3\r\n", "4294967298,3\r\n"), kAnswer,
     kBadCounts, "", 1},
    {"case count 2^32+3", edit_definition("2,3\r\n", "2,4294967299\r\n"), kAnswer, kBadCounts, "", 1},
    {"fault count 2^31", edit_definition("2,3\r\n", "2147483648,3\r\n"), kAnswer, kBadCounts, "", 1},
    {"fault count 1E999", edit_definition("2,3\r\n", "1E999,3\r\n"), kAnswer, kBadCounts, "", 1},
    {"fault count NaN", edit_definition("2,3\r\n", "NaN,3\r\n"), kAnswer, kBadCounts, "", 1},
    {"case count Infinity", edit_definition("2,3\r\n", "2,Infinity\r\n"), kAnswer, kBadCounts, "", 1},
    {"fault count of 2050 bytes", edit_definition("2,3\r\n", std::string(2049, '0') + "2,3\r\n"), kAnswer,
     kBadCounts, "", 1},
    {"a quoted count never closed", edit_definition("2,3\r\n", "'2,3\r\n"), kAnswer, kBadCounts, "", 1},
    {"a NUL byte in the fault count", edit_definition("2,3\r\n", "2\0,3\r\n"s), kAnswer, kBadCounts, "", 1},
    {"CR-only line ends: the whole file is the title", put("def.csv", "t\r2,3\rh\r1,quake\\fault1\r"),
     kAnswer, kBadCounts, "", 1},
    {"fault line number is letters", edit_definition("1,quake\\fault1", "one,quake\\fault1"), kNoPause, "",
     conversion(11, "def.csv"), 2},
    {"case line number is letters", edit_definition("3,quake\\case3", "c,quake\\case3"), kNoPause, "",
     conversion(11, "def.csv"), 2},
    {"fault line number 2^32+1 (would wrap to 1)",
     edit_definition("1,quake\\fault1", "4294967297,quake\\fault1"), kNoPause, "", conversion(11, "def.csv"),
     2},
    {"case line number 2^31", edit_definition("2,quake\\case2", "2147483648,quake\\case2"), kNoPause, "",
     conversion(11, "def.csv"), 2},
    {"fault line number written 1E0", edit_definition("1,quake\\fault1", "1E0,quake\\fault1"), kNoPause, "",
     conversion(11, "def.csv"), 2},
    {"fault line number -2^31", edit_definition("2,quake\\fault2", "-2147483648,quake\\fault2"), kAnswer,
     "Fault data line no.\r\n2\r\nError ! [Enter]", "", 1},
    {"an empty fault line reads as number 0", edit_definition("1,quake\\fault1\r\n", "\r\n"), kAnswer,
     "Fault data line no.\r\n1\r\nError ! [Enter]", "", 1},
    {"ends after the counts", put("def.csv", "t\r\n2,3\r\n"), kNoPause, "", end_of_file(11, "def.csv"), 2},
    {"ends inside the fault section", put("def.csv", "t\r\n2,3\r\nh\r\n1,quake\\fault1\r\n"), kNoPause, "",
     end_of_file(11, "def.csv"), 2},
};

TEST(CatalogueDefinitionFile, EachFaultEndsAsStated) {
  for (const BadInput& c : kDefinition) expect_ending(c);
}

std::string spectrum_rows(int header_lines, int rows) {
  std::string t;
  for (int i = 1; i <= header_lines; ++i) t += "header\r\n";
  for (int j = 1; j <= rows; ++j)
    t += "0.1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28\r\n";
  return t;
}

// Spectrum tables: truncated, shifted, text and out-of-range values in the numeric fields.
const BadInput kSpectrum[] = {
    {"fault 1 ends in its header", put(spectrum_file(1), spectrum_rows(10, 0)), kNoPause, "",
     end_of_file(12, spectrum_path(1)), 2},
    {"fault 1 ends in row 30", put(spectrum_file(1), spectrum_rows(15, 29) + "0.1,2,3,4"), kNoPause, "",
     end_of_file(12, spectrum_path(1)), 2},
    {"fault 2 has 16 header lines: a text line is row 1", put(spectrum_file(2), spectrum_rows(16, 55)),
     kNoPause, "", conversion(12, spectrum_path(2)), 2},
    {"fault 2 with CR-only line ends", put(spectrum_file(2), "h\r" + std::string("0.1,2\r") + "0.2,3\r"),
     kNoPause, "", end_of_file(12, spectrum_path(2)), 2},
    {"NaN in field 28", edit(spectrum_file(2), ",4.125000", ",NaN"), kNoPause, "",
     conversion(12, spectrum_path(2)), 2},
    {"Infinity in field 1 of fault 1", edit(spectrum_file(1), "\r\n0.100,", "\r\nInfinity,"), kNoPause, "",
     conversion(12, spectrum_path(1)), 2},
    {"-inf in field 2", edit(spectrum_file(1), " 1.2345E+03", "-inf"), kNoPause, "",
     conversion(12, spectrum_path(1)), 2},
    {"1E999 in field 28", edit(spectrum_file(2), ",4.125000", ",1E999"), kNoPause, "",
     conversion(12, spectrum_path(2)), 2},
    {"-1D999 in field 3", edit(spectrum_file(2), " 1.2345E+03, 1.2345E+03", " 1.2345E+03,-1D999"), kNoPause,
     "", conversion(12, spectrum_path(2)), 2},
    {"a quoted value", edit(spectrum_file(1), " 1.2345E+03", "'1.0'"), kNoPause, "",
     conversion(12, spectrum_path(1)), 2},
    {"a NUL byte in a field", edit(spectrum_file(1), " 1.2345E+03", " 1.2345\0E+03"s), kNoPause, "",
     conversion(12, spectrum_path(1)), 2},
};

TEST(CatalogueSpectrumTable, EachFaultEndsAsStated) {
  for (const BadInput& c : kSpectrum) expect_ending(c);
}

// Waveforms: header fields, samples, truncation, counts beyond 32 bits.
const BadInput kWaveform[] = {
    {"case 3 holds fewer samples than its count", put(waveform_file(3), "5,0.02\r\n1 2 3 4\r\n"), kNoPause,
     "", end_of_file(13, waveform_path(3)), 2},
    {"case 3 has no record after its header", put(waveform_file(3), "1,0.02\r\n"), kNoPause, "",
     end_of_file(13, waveform_path(3)), 2},
    {"case 3 is a header without a line end", put(waveform_file(3), "1,0.02"), kNoPause, "",
     end_of_file(13, waveform_path(3)), 2},
    {"case 3 is empty", put(waveform_file(3), ""), kNoPause, "", end_of_file(13, waveform_path(3)), 2},
    {"count -5 and no second record", put(waveform_file(3), "-5,0.02\r\n"), kNoPause, "",
     end_of_file(13, waveform_path(3)), 2},
    {"count 0 and no second record", put(waveform_file(3), "0,0.02\r\n"), kNoPause, "",
     end_of_file(13, waveform_path(3)), 2},
    {"count is text", put(waveform_file(2), "n,0.02\r\n10 -10\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"step is text", put(waveform_file(2), "2,dt\r\n10 -10\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"count 2^32+2 (would wrap to 2)", put(waveform_file(2), "4294967298,0.02\r\n10 -10\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"count 2^31", put(waveform_file(2), "2147483648,0.02\r\n10 -10\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"count -2^31-1", put(waveform_file(2), "-2147483649,0.02\r\n10 -10\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"count written 2E0", put(waveform_file(2), "2E0,0.02\r\n10 -10\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"count written 2.0", put(waveform_file(2), "2.0,0.02\r\n10 -10\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"a UTF-8 byte-order mark before the count", put(waveform_file(2), "\xEF\xBB\xBF" "2,0.02\r\n10 -10\r\n"),
     kNoPause, "", conversion(13, waveform_path(2)), 2},
    {"count 2^31-1", put(waveform_file(2), "2147483647,0.02\r\n10 -10\r\n"), kAnswer,
     too_many(waveform_path(2)), "", 1},
    {"step 1E999", put(waveform_file(2), "2,1E999\r\n10 -10\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"step NaN", put(waveform_file(2), "2,NaN\r\n10 -10\r\n"), kNoPause, "", conversion(13, waveform_path(2)),
     2},
    {"step Infinity", put(waveform_file(2), "2,Infinity\r\n10 -10\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"sample NaN", put(waveform_file(2), "2,0.02\r\n10 NaN\r\n"), kNoPause, "", syntax(13, waveform_path(2)),
     2},
    {"sample -nan", put(waveform_file(2), "2,0.02\r\n10 -nan\r\n"), kNoPause, "",
     syntax(13, waveform_path(2)), 2},
    {"sample Infinity", put(waveform_file(2), "2,0.02\r\nInfinity -10\r\n"), kNoPause, "",
     syntax(13, waveform_path(2)), 2},
    {"sample inf", put(waveform_file(2), "2,0.02\r\n10 inf\r\n"), kNoPause, "", syntax(13, waveform_path(2)),
     2},
    {"sample 0x10", put(waveform_file(2), "2,0.02\r\n10 0x10\r\n"), kNoPause, "",
     syntax(13, waveform_path(2)), 2},
    {"sample -1E999", put(waveform_file(2), "2,0.02\r\n10 -1E999\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"sample 1D999", put(waveform_file(2), "2,0.02\r\n10 1D999\r\n"), kNoPause, "",
     conversion(13, waveform_path(2)), 2},
    {"sample quoted", put(waveform_file(2), "2,0.02\r\n10 '-10'\r\n"), kNoPause, "",
     syntax(13, waveform_path(2)), 2},
    {"repeat count 0", put(waveform_file(2), "2,0.02\r\n0*10\r\n"), kNoPause, "",
     syntax(13, waveform_path(2)), 2},
    {"sample of 2050 bytes", put(waveform_file(2), "2,0.02\r\n" + std::string(2048, '0') + "10 -10\r\n"),
     kNoPause, "", syntax(13, waveform_path(2)), 2},
    {"a repeated sample of 2050 bytes, its count included",
     put(waveform_file(1), "3,0.02\r\n" + std::string(2045, '0') + "3*100\r\n"), kNoPause, "",
     syntax(13, waveform_path(1)), 2},
    {"a NUL byte after a sample", put(waveform_file(2), "2,0.02\r\n10\0 -10\r\n"s), kNoPause, "",
     syntax(13, waveform_path(2)), 2},
    {"CR-only line ends: the header runs into the samples", put(waveform_file(2), "2,0.02\r10\r-10\r"),
     kNoPause, "", conversion(13, waveform_path(2)), 2},
};

TEST(CatalogueWaveform, EachFaultEndsAsStated) {
  for (const BadInput& c : kWaveform) expect_ending(c);
}

// The console answer, and paths with bytes no file name can hold: every message echoes the
// bytes exactly as the program used them.
const BadInput kNamesAndAnswers[] = {
    {"a quoted answer never closed", nullptr, "'def.csv\n", "", end_of_file(5, "stdin"), 2},
    {"an answer of 2050 bytes", nullptr, std::string(2050, 'n') + "\n\n", "", syntax(5, "stdin"), 2},
    {"a quoted answer of 2050 bytes", nullptr, "'" + std::string(2050, 'n') + "'\n\n", "", syntax(5, "stdin"),
     2},
    {"only empty lines", nullptr, "\n\r\n  \n", "", end_of_file(5, "stdin"), 2},
    {"an answer that is a slash: the name stays blank", nullptr, "/\n\n", not_exist(" "), "", 1},
    {"an answer that is a null value", nullptr, ",def.csv\n\n", not_exist(" "), "", 1},
    {"a NUL byte at the end of the answer (not def.csv)", nullptr, "def.csv\0\n\n"s, not_exist("def.csv\0"s),
     "", 1},
    {"a NUL byte inside the answer", nullptr, "de\0f.csv\n\n"s, not_exist("de\0f.csv"s), "", 1},
    {"a lone lead byte ends the answer", nullptr, "def.csv\x81\n\n", not_exist("def.csv\x81"), "", 1},
    {"0xFF and 0xFD in the answer", nullptr,
     "\xFF"
     "def\xFD.csv\n\n",
     not_exist("\xFF"
               "def\xFD.csv"),
     "", 1},
    {"a NUL byte ends the path of fault 1", edit_definition("1,quake\\fault1", "1,quake\\fault1\0"s), kAnswer,
     not_exist("quake\\fault1\0"s + kSpectrumName), "", 1},
    {"a lone lead byte ends the path of fault 1 (it takes the backslash as its trail byte)",
     edit_definition("1,quake\\fault1", "1,quake\\fault1\x83"), kAnswer,
     not_exist("quake\\fault1\x83" + kSpectrumName), "", 1},
    {"0x80 in the path of fault 2", edit_definition("2,quake\\fault2", "2,quake\\fault\x80"), kAnswer,
     not_exist("quake\\fault\x80" + kSpectrumName), "", 1},
    {"0xA0 in the path of case 3", edit_definition("3,quake\\case3", "3,quake\\case3\xA0"), kAnswer,
     not_exist("quake\\case3\xA0" + kWaveformName), "", 1},
    {"0xFD 0xFE 0xFF in the path of case 1", edit_definition("1,quake\\case1", "1,quake\\\xFD\xFE\xFF"),
     kAnswer, not_exist("quake\\\xFD\xFE\xFF" + kWaveformName), "", 1},
};

TEST(CatalogueNamesAndAnswers, EachEndsAsStated) {
  for (const BadInput& c : kNamesAndAnswers) expect_ending(c);
}

// Permissions stop every user but root: a file or folder of mode 000 cannot be read, and
// a read-only earlier result file may not be replaced.
TEST(CatalogueUnreadable, EachStageEndsAsStated) {
  if (geteuid() == 0) GTEST_SKIP() << "running as root: file modes do not stop root";
  struct Case {
    const char* what;
    std::string file;
    fs::perms mode;
    std::string out;  // after the prompt
    std::string err;
    int status;
  };
  const fs::perms kNone = fs::perms::none;
  const fs::perms kReadOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  const Case cases[] = {
      {"definition file", "def.csv", kNone, not_exist("def.csv"), "", 1},
      {"spectrum table of fault 1", spectrum_file(1), kNone, not_exist(spectrum_path(1)), "", 1},
      {"folder of fault 2", "quake/fault2", kNone, not_exist(spectrum_path(2)), "", 1},
      {"waveform of case 3", waveform_file(3), kNone, not_exist(waveform_path(3)), "", 1},
      {"folder of case 3", "quake/case3", kNone, not_exist(waveform_path(3)), "", 1},
      {"a read-only earlier result file 4", kResultFiles[3], kReadOnly, "", severe(9, 24, result_name(3)), 2},
      {"a read-only working folder", ".", kReadOnly | fs::perms::owner_exec, "",
       severe(9, 21, result_name(0)), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder folder;
    DataSet::small().write_to(folder);
    place_earlier_results(folder);
    const fs::path p = folder.path() / fs::path(c.file);
    fs::permissions(p, c.mode);
    const Listing before = listing(folder);
    const RunResult r = run_case(folder, kAnswer);
    const Listing after = listing(folder);
    fs::permissions(p, fs::perms::owner_all);  // so that the folder can be removed
    EXPECT_EQ(r.out, kPrompt + c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(differences(before, after), "");
  }
}

}  // namespace
