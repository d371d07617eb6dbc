// What the report page shows of the host: Shift-JIS as UTF-8 with a mark for what does
// not decode, and a plausible clock. Built for Windows too, where the system's own code
// page 932 table does the converting.
#include "platform/display.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DisplayText, ShiftJisBecomesUtf8AndWhatDoesNotDecodeAMark) {
  struct Case {
    const char* label;
    std::string sjis;
    std::string want;
  };
  const std::string mark = "\xEF\xBF\xBD";
  const Case cases[] = {
      {"ascii and backslash", "cases\\C01", "cases\\C01"},
      {"trail byte 0x5C in 表 and 予", "\x95\x5c\\\x97\x5c", "表\\予"},
      {"half-width katakana and middle dot", "\xb1\xa5", "ｱ･"},
      {"a lead byte before a blank", "a\x81 b", "a" + mark + " b"},
      {"a lead byte at the end", "ab\x81", "ab" + mark},
      {"a pair that names nothing is one mark", "\x85\x40z", mark + "z"},
      {"control bytes pass (the page escapes them)", "\x01", "\x01"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(platform::display_text(c.sjis), c.want);
  }
}

TEST(LocalTime, FieldsInRange) {
  const platform::LocalTime now = platform::local_time();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12);
  EXPECT_TRUE(now.day >= 1 && now.day <= 31);
  EXPECT_TRUE(now.hour >= 0 && now.hour <= 23);
  EXPECT_TRUE(now.minute >= 0 && now.minute <= 59);
  EXPECT_TRUE(now.second >= 0 && now.second <= 60);
}

}  // namespace
