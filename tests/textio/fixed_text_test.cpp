#include "textio/fixed_text.hpp"

#include <gtest/gtest.h>

#include <string>

#include "textio/report.hpp"

namespace {

using textio::FixedText40;
using textio::FixedText400;

FixedText400 field400(const std::string& text) {
  FixedText400 f;
  textio::assign_text(f, text);
  return f;
}

TEST(TrimmedLength, CountsToTheLastByteThatIsNotABlank) {
  struct Case {
    std::string text;
    int want;
  };
  const Case cases[] = {
      {"D:\\data\\fault1", 14},
      {"", 1},                                  // all blank: 1, never 0
      {"x", 1},
      {"D:\\folder \\", 11},
      {"D:\\folder ", 9},                       // a trailing blank inside the text is lost
      {"tab\t", 4},                             // only 0x20 is a blank
      {std::string("nul\0", 4), 4},
      {"ideographic\x81\x40", 13},              // the double-byte space is no blank
      {"D:\\\x92\x6e\x90\x6b\\\x83\x50\x81\x5b\x83\x58" "1", 15},  // D:\地震\ケース1
      {std::string(400, 'p'), 400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(textio::LCHR400(field400(c.text)), c.want);
  }
  FixedText40 name;
  textio::assign_text(name, std::string(40, 'n'));
  EXPECT_EQ(textio::LCHR40(name), 40);
  textio::blank_fill(name);
  EXPECT_EQ(textio::LCHR40(name), 1);
}

TEST(AssignText, CutsLongTextAndBlanksTheRest) {
  FixedText40 f;
  const std::string text45 = std::string(39, 'a') + "\x8c\xb1" + "zzzz";
  textio::assign_text(f, text45);
  EXPECT_EQ(std::string(f.view()), text45.substr(0, 40));  // a stray lead byte at the end
  textio::assign_text(f, "ab");
  EXPECT_EQ(std::string(f.view()), "ab" + std::string(38, ' '));
}

TEST(JoinPath, AppendsTheNameToTheTrimmedField) {
  const std::string name = "\\Velmora\x92\xb7\x8e\xfc\x8a\xfa.csv";  // \Velmora長周期.csv
  FixedText400 f = field400("D:\\data\\fault1");
  const std::string path = textio::join_path(f, textio::LCHR400(f), name);
  EXPECT_EQ(path, "D:\\data\\fault1" + name);
  EXPECT_EQ(path.size(), 32u);
  f = field400("D:\\data\\");
  EXPECT_EQ(textio::join_path(f, textio::LCHR400(f), name), "D:\\data\\" + name);
  textio::blank_fill(f);
  EXPECT_EQ(textio::join_path(f, textio::LCHR400(f), name), " " + name);
}

TEST(ReportLine, FillsUnitAndFileIntoTheMessage) {
  struct Case {
    int number;
    const char* want;
  };
  const Case cases[] = {
      {24, "txtrec: severe (24): end-of-file during read, unit 12, file a\\b.csv\n"},
      {59, "txtrec: severe (59): list-directed I/O syntax error, unit 12, file a\\b.csv\n"},
      {64, "txtrec: severe (64): input conversion error, unit 12, file a\\b.csv\n"},
      {61, "txtrec: severe (61): format/variable-type mismatch, unit 12, file a\\b.csv\n"},
      {29, "txtrec: severe (29): file not found, unit 12, file a\\b.csv\n"},
      {9, "txtrec: severe (9): permission to access file denied, unit 12, file a\\b.csv\n"},
      {42, "txtrec: severe (42): no such device, unit 12, file a\\b.csv\n"},
      {43, "txtrec: severe (43): file name specification error, unit 12, file a\\b.csv\n"},
      {30, "txtrec: severe (30): open failure, unit 12, file a\\b.csv\n"},
      {38, "txtrec: severe (38): error during write, unit 12, file a\\b.csv\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(textio::report_line(textio::Severity::Severe, {c.number, 12, "a\\b.csv"}), c.want);
  }
  // A file name holding '%' is written as it is.
  EXPECT_EQ(textio::report_line(textio::Severity::Error, {63, 21, "100%s"}),
            "txtrec: error (63): output conversion error, unit 21, file 100%s\n");
}

TEST(OpenErrorNumber, MapsEachRefusal) {
  using platform::OpenError;
  EXPECT_EQ(textio::open_error_number(OpenError::None), 0);
  EXPECT_EQ(textio::open_error_number(OpenError::NotFound), 29);
  EXPECT_EQ(textio::open_error_number(OpenError::AccessDenied), 9);
  EXPECT_EQ(textio::open_error_number(OpenError::NoDevice), 42);
  EXPECT_EQ(textio::open_error_number(OpenError::BadName), 43);
  EXPECT_EQ(textio::open_error_number(OpenError::Other), 30);
}

}  // namespace

