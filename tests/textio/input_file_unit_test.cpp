#include <gtest/gtest.h>

#include <string>

#include "support/process.hpp"
#include "textio/record_reader.hpp"

namespace {

TEST(InputFileUnit, OpensByShiftJisPathAndMapsRefusals) {
  testing_support::ScratchFolder folder;
  folder.write("断層/Velmora長周期.csv", "line 1\r\nline 2\r\n");
  const std::string base = folder.path().string() + "\\";
  textio::InputFileUnit unit(12);
  // 断層\Velmora長周期.csv, as the program builds it
  const std::string path = base + "\x92\x66\x91\x77\\Velmora\x92\xb7\x8e\xfc\x8a\xfa.csv";
  ASSERT_EQ(unit.open_for_reading(path), 0);
  EXPECT_EQ(unit.reader().skip_record(), 0);
  EXPECT_EQ(unit.reader().skip_record(), 0);
  EXPECT_EQ(unit.reader().skip_record(), 24);
  EXPECT_EQ(unit.reader().fault(24).file, path);  // reports name the file as built
  unit.close_unit();
  EXPECT_EQ(unit.open_for_reading(base + "missing.csv"), 29);
  EXPECT_EQ(unit.open_for_reading(base + "missing\\x.csv"), 29);
  EXPECT_EQ(unit.open_for_reading(base + "\x92\x66\x91\x77"), 9);  // a folder
  EXPECT_EQ(unit.open_for_reading(base + std::string(300, 'n')), 43);
}

}  // namespace
