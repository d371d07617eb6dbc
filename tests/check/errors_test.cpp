// Errors as a check lists them: the record layer's report with where it failed, the run's
// own messages, all of a definition file's errors in the order of its lines. (That the
// first is the run's own is held by fuzz_check_files and the whole-set tests.)
#include <gtest/gtest.h>

#include <string>

#include "tests_inputs.hpp"

namespace {

using check::Finding;
using check::Findings;
using namespace check_tests;

std::string listed(const Findings& f) {
  std::string text;
  for (const Finding& finding : f.list()) text += check::format_finding(finding);
  return text;
}

struct ErrorCase {
  const char* what;
  std::string bytes;
  std::string want;  // every finding, as listed
};

std::string spectrum_head(int lines) {
  const std::string table = spectrum_table();
  std::size_t end = 0;
  for (int i = 0; i < lines; ++i) end = table.find('\n', end) + 1;
  return table.substr(0, end);
}

TEST(Errors, WaveformFailuresNameTheLineAndTheSample) {
  const std::string file = "c\\w.acc";
  const std::string eof = file + ": error: txtrec: severe (24): end-of-file during read, unit 13, file " + file;
  const ErrorCase cases[] = {
      {"text for a sample", "3,0.02\n1 2\n x\n",
       file + ":3: error: txtrec: severe (59): list-directed I/O syntax error, unit 13, file " + file +
           "; sample 3 reads `x`\r\n"},
      {"a sample out of range", "2,0.02\n1 1E999\n",
       file + ":2: error: txtrec: severe (64): input conversion error, unit 13, file " + file +
           "; sample 2 reads `1E999`\r\n"},
      {"ends early", "3,0.02\n1 2\n",
       file + ":2: error: txtrec: severe (24): end-of-file during read, unit 13, file " + file +
           "; the file ends before sample 3 of 3\r\n"},
      {"count and interval without a comma", "4000 0.02\n1\n",
       file + ":1: error: txtrec: severe (64): input conversion error, unit 13, file " + file +
           "; the sample count field reads `4000 0.02`\r\n"},
      {"empty", "", eof + "; the file is empty: the header line is missing\r\n"},
      {"no line for the samples", "0,0.02",
       file + ":1: error: txtrec: severe (24): end-of-file during read, unit 13, file " + file +
           "; the samples need a line after the header, even with a count of 0\r\n"},
      {"too many samples", "100001,0.01\n1\n",
       file + ":1: warning: the sampling interval `0.01` is not 0.02: the samples are integrated 0.02 s apart all the "
              "same\r\n" +
           file + ":1: error: " + file + " too many samples !\r\n"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(listed(check_waveform_bytes(c.bytes)), c.want);
  }
}

TEST(Errors, SpectrumTableFailuresNameTheRowAndTheField) {
  const std::string file = "f\\s.csv";
  const std::string eof = ": error: txtrec: severe (24): end-of-file during read, unit 12, file " + file;
  const ErrorCase cases[] = {
      {"text in a field", spectrum_table(3, "0.3,1,1,1,abc,1"),
       file + ":18: error: txtrec: severe (64): input conversion error, unit 12, file " + file +
           "; field 5 of data row 3 reads `abc`\r\n"},
      {"ends in the rows", spectrum_head(55), file + ":55" + eof + "; the file ends before data row 41 of 55\r\n"},
      {"ends in the header", spectrum_head(10), file + ":10" + eof + "; the file ends in its header, after line 10 of 15\r\n"},
      {"empty", "", file + eof + "; the file is empty\r\n"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(listed(check_spectrum_bytes(c.bytes)), c.want);
  }
}

TEST(Errors, EveryErrorOfADefinitionFileInTheOrderOfItsLines) {
  const std::string record = ": error: txtrec: severe (";
  const ErrorCase cases[] = {
      {"every section", "title\n2,3\nfaults\n3,f\n2,f2\ncases\n1,c1\n4,c\n3,c3\n",
       "def.csv:4: error: Fault data line no. 1 Error !\r\n"
       "def.csv:5: error: Fault data no. 1 not exist !\r\n"
       "def.csv:8: error: Case data line no. 2 Error !\r\n"
       "def.csv:9: error: Case data no. 2 not exist !\r\n"},
      {"a line the reader cannot take, and the lines after it", "title\n2,1\nfaults\n1 D:\\x\n2,f\ncases\n9,c\n",
       "def.csv:4" + record + "64): input conversion error, unit 11, file def.csv; the number field of fault line 1 reads "
       "`1 D:\\x`\r\ndef.csv:5: error: Fault data no. 1 not exist !\r\n"
       "def.csv:7: error: Case data line no. 1 Error !\r\ndef.csv:7: error: Case data no. 1 not exist !\r\n"},
      {"ends in a section", "title\n2,3\nfaults\n1,f\n",
       "def.csv:4" + record + "24): end-of-file during read, unit 11, file def.csv; the file ends before fault line 2 of 2\r\n"},
      {"ends before a heading", "t\n1 1\n",
       "def.csv:2" + record + "24): end-of-file during read, unit 11, file def.csv; the file ends before the heading "
       "of the fault section\r\n"},
      {"empty", "", "def.csv" + record + "24): end-of-file during read, unit 11, file def.csv; the file is empty\r\n"},
      {"counts over two lines, out of range", "t\n1\n22\n", "def.csv:3: error: Fault number or Case number Error !\r\n"},
      {"no counts", "t\n", "def.csv:1: error: Fault number or Case number Error !\r\n"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(listed(check_definition_bytes(c.bytes)), c.want);
  }
}

}  // namespace
