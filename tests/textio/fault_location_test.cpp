// Where a read failed (line, column, item), whatever the refills.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/memory_source.hpp"
#include "support/sample_layouts.hpp"
#include "textio/record_reader.hpp"

namespace {

using testing_support::MemorySource;
using textio::Item;
using textio::RecordReader;

enum class Read { Samples, Counts, Header, Rows3 };

struct LocationCase {
  const char* text;  // the first record is skipped before the read, except for Header
  Read read;
  std::size_t count;  // samples wanted; rows read for Rows3
  int status;
  int line;
  int column;
  int item;
};

// The status of the first statement that fails (0 when none does).
int run_reads(RecordReader& reader, const LocationCase& c) {
  if (c.read != Read::Header) {
    if (const int s = reader.skip_record(); s != 0) return s;
  }
  std::vector<double> values(64, 0.0);
  std::int32_t n = 0;
  switch (c.read) {
    case Read::Samples:
      return reader.read_free_form_reals(values.data(), 1, c.count);
    case Read::Counts: {
      std::int32_t m = 0;
      const std::array<Item, 2> items{Item::integer(n), Item::integer(m)};
      return reader.read_free_form(items);
    }
    case Read::Header: {
      const std::array<Item, 2> items{Item::integer(n), Item::real(values[0])};
      return reader.read_fixed_width(sample_layouts::kWaveformHeader, items);
    }
    case Read::Rows3: {
      const std::array<Item, 3> items{Item::real(values[0]), Item::real(values[1]), Item::real(values[2])};
      for (std::size_t row = 0; row < c.count; ++row) {
        if (const int s = reader.read_fixed_width(sample_layouts::kSpectrumRow, items); s != 0) return s;
      }
      return 0;
    }
  }
  return 0;
}

TEST(FaultLocation, LineColumnAndItemOfTheFailedRead) {
  const LocationCase cases[] = {
      {"h\n1 2\n3 x 5\n", Read::Samples, 4, 59, 3, 3, 4},
      {"h\r\n1,2\r\n\r\n  1E999\r\n", Read::Samples, 3, 64, 4, 3, 3},
      {"h\n1 2\n3\n", Read::Samples, 4, 24, 3, 0, 4},   // the end: the last line, not the one after
      {"h\n1 2\n3", Read::Samples, 4, 24, 3, 0, 4},     // a last line without LF
      {"h\n1 2\n3\n\n  \n", Read::Samples, 4, 24, 5, 0, 4},
      {"h\n", Read::Samples, 2, 24, 1, 0, 1},            // no record for the samples
      {"", Read::Samples, 2, 24, 0, 0, 0},               // not even the skipped one
      {"h\n1 'a\nb' 2\n", Read::Samples, 3, 59, 2, 3, 2},  // a quoted value is placed where it begins
      {"h\n1 2*x\n", Read::Samples, 3, 59, 2, 3, 2},     // the repeat count is part of the value
      {"t\n3 x\n", Read::Counts, 0, 59, 2, 3, 2},
      {"t\n3\n\n x\n", Read::Counts, 0, 59, 4, 2, 2},
      {"4000 0.02\n", Read::Header, 0, 64, 1, 1, 1},
      {"                4000  0.0x2\n", Read::Header, 0, 64, 1, 21, 2},
      {"12,0.0x2\n", Read::Header, 0, 64, 1, 4, 2},
      {"", Read::Header, 0, 24, 0, 0, 1},
      {"h\n1,2,3\n4,x,6\n", Read::Rows3, 2, 64, 3, 3, 2},
      {"h\n1,2,3\n", Read::Rows3, 2, 24, 2, 0, 1},
  };
  for (const LocationCase& c : cases) {
    SCOPED_TRACE(c.text);
    for (std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{5}, std::size_t{1} << 20}) {
      SCOPED_TRACE("chunk " + std::to_string(chunk));
      MemorySource source(c.text, chunk);
      RecordReader reader(13, 0);
      reader.attach(source, "w.acc");
      const int status = run_reads(reader, c);
      ASSERT_EQ(status, c.status);
      const textio::Fault fault = reader.fault(status);
      EXPECT_EQ(fault.line, c.line);
      EXPECT_EQ(fault.column, c.column);
      EXPECT_EQ(fault.item, c.item);
      // The place never shows in the report line.
      EXPECT_EQ(textio::report_line(textio::Severity::Severe, fault),
                textio::report_line(textio::Severity::Severe, textio::Fault{status, 13, "w.acc"}));
    }
  }
}

TEST(FaultLocation, LayoutStartingAgainPastTheLastRecordFailsAtTheNextItem) {
  MemorySource source("1,2\n", 1);
  RecordReader reader(12, 0);
  reader.attach(source, "s.csv");
  std::array<double, 30> values{};
  std::array<Item, 30> items{};
  for (std::size_t i = 0; i < items.size(); ++i) items[i] = Item::real(values[i]);
  ASSERT_EQ(reader.read_fixed_width(sample_layouts::kSpectrumRow, items), 24);
  EXPECT_EQ(reader.fault(24).item, 29);
  EXPECT_EQ(reader.fault(24).line, 1);
}

}  // namespace
