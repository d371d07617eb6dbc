#include "textio/record_writer.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "support/fake_console.hpp"
#include "support/sample_layouts.hpp"

namespace {

using testing_support::FakeConsole;
using textio::WriteStatement;
namespace layouts = sample_layouts;

struct StringSink : textio::ByteSink {
  bool write(const char* data, std::size_t n) override {
    if (fail) return false;
    bytes.append(data, n);
    return true;
  }
  std::string bytes;
  bool fail = false;
};

struct Fixture {
  FakeConsole console;
  StringSink sink;
  textio::OutputUnit unit{21, 0, false, console};
  Fixture() { unit.attach(sink, "out.csv"); }
  std::string written() {
    unit.flush();
    return sink.bytes;
  }
};

TEST(WriteStatement, RuleR3Zeros) {
  Fixture f;
  {
    WriteStatement s(f.unit, layouts::kR3);
    s.real(0.0);
    s.text(",");
    s.real(0.0);
  }
  EXPECT_EQ(f.written(), "      0.0000,      0.000000\r\n");
  EXPECT_EQ(f.console.err, "");
}

TEST(WriteStatement, OverflowWritesAsterisksAndOneReportPerStatement) {
  Fixture f;
  {
    WriteStatement s(f.unit, layouts::kR3);
    s.real(10000000.0);
    s.text(",");
    s.real(0.0);
  }
  {
    WriteStatement s(f.unit, layouts::kR3);
    s.real(-1e300);
    s.text(",");
    s.real(std::numeric_limits<double>::quiet_NaN());
  }
  EXPECT_EQ(f.written(), "************,      0.000000\r\n************,**************\r\n");
  const std::string report = "txtrec: error (63): output conversion error, unit 21, file out.csv\n";
  EXPECT_EQ(f.console.err, report + report);
}

TEST(WriteStatement, HeaderWithPairsAndClosingText) {
  Fixture f;
  {
    WriteStatement s(f.unit, layouts::kR6);
    s.text("\x8e\x9e\x8d\x8f(s)");  // 時刻(s)
    s.text(",No.");
    s.integer(1);
    s.text(",No.");
    s.integer(2);
    s.text(",(cm/s2)");
  }
  EXPECT_EQ(f.written(), "\x8e\x9e\x8d\x8f(s)      ,No. 1      ,No. 2  ,(cm/s2)\r\n");
}

TEST(WriteStatement, RanksAndTheirOverflow) {
  Fixture f;
  {
    WriteStatement s(f.unit, layouts::kR9);
    s.text("r");
    s.text(",");
    s.integer(12);
    s.text(",");
    s.integer(1000);
  }
  EXPECT_EQ(f.written(), "r, 12,***\r\n");
  EXPECT_NE(f.console.err.find("(63)"), std::string::npos);
}

TEST(WriteStatement, ConsoleMessageOfThreePiecesTakesTwoLinesAndAnOpenThird) {
  FakeConsole console;
  textio::ConsoleSink sink(console);
  textio::OutputUnit unit(6, 0, true, console);
  unit.attach(sink, "stdout");
  {
    WriteStatement s(unit, layouts::kR1);
    s.text("Fault data line no.");
    s.text("3");
    s.text("Error ! [Enter]");
  }
  EXPECT_EQ(console.out, "Fault data line no.\r\n3\r\nError ! [Enter]");
  WriteStatement(unit, layouts::kR1).text("prompt:");
  EXPECT_EQ(console.out, "Fault data line no.\r\n3\r\nError ! [Enter]prompt:");
}

TEST(WriteStatement, RuleR2WritesTheTextAndALineEnd) {
  Fixture f;
  WriteStatement(f.unit, layouts::kR2).text("123456789012345678901");
  EXPECT_EQ(f.written(), "123456789012345678901\r\n");
}

TEST(WriteStatement, LayoutUsedUpStartsAgainAtItsLastGroup) {
  Fixture f;
  {
    WriteStatement s(f.unit, layouts::kR5);  // F12.4, 10(A1, F14.6)
    s.real(1.0);
    for (int i = 0; i < 11; ++i) {
      s.text(",");
      s.real(i);
    }
  }
  std::string want = "      1.0000";
  for (int i = 0; i < 10; ++i) want += ",      " + std::to_string(i) + ".000000";
  want += "\r\n,     10.000000\r\n";
  EXPECT_EQ(f.written(), want);
}

TEST(WriteStatement, AwRightAlignsShortTextAndCutsLongText) {
  Fixture f;
  {
    WriteStatement s(f.unit, layouts::kR4);
    s.text("h");
    s.text(",(cm/s)");
    s.integer(5);
    s.text("abcdefghijklmn");
  }
  EXPECT_EQ(f.written(), "h   ,(cm/s) 5abcdefghij\r\n");
}

TEST(OutputUnit, WriteFailureIsStickyAndNamed) {
  Fixture f;
  f.sink.fail = true;
  WriteStatement(f.unit, layouts::kR2).text("x");
  EXPECT_FALSE(f.unit.flush());
  EXPECT_TRUE(f.unit.failed());
  EXPECT_EQ(textio::report_line(textio::Severity::Severe, f.unit.fault()),
            "txtrec: severe (38): error during write, unit 21, file out.csv\n");
}

TEST(OutputUnit, RecordsLongerThanTheBufferArriveWhole) {
  Fixture f;
  const std::string long_text(10000, 'x');
  {
    WriteStatement s(f.unit, layouts::kR8);
    s.text(long_text);
    for (int k = 0; k < 30; ++k) {
      s.text(",");
      s.real(k);
    }
  }
  const std::string bytes = f.written();
  EXPECT_EQ(bytes.size(), 10000 + 30 * 15 + 2);
  EXPECT_EQ(bytes.substr(0, 10000), long_text);
}

}  // namespace
