// The program's own UTF-8 texts in Shift-JIS, on either host: what the console gets.
#include <gtest/gtest.h>

#include <string>

#include "platform/console.hpp"

namespace {

TEST(ShiftJisFromUtf8, SpellsWhatShiftJisHasAndMarksWhatItLacks) {
  struct Case {
    const char* utf8;
    std::string sjis;
  };
  const Case cases[] = {
      {"", ""},
      {"gmgather 1.0.0\r\n", "gmgather 1.0.0\r\n"},
      {"定義ファイル", "\x92\xe8\x8b\x60\x83\x74\x83\x40\x83\x43\x83\x8b"},
      {"表\\", "\x95\x5c\\"},        // a trail byte 0x5C, then a real backslash
      {"ｱ･", "\xb1\xa5"},            // half-width katakana: one byte each
      {"①～", "\x87\x40\x81\x60"},   // NEC and IBM extensions of code page 932
      {"é/€.", "?/?."},            // no Shift-JIS spelling
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(platform::shift_jis_from_utf8(c.utf8), c.sjis);
  }
}

}  // namespace
