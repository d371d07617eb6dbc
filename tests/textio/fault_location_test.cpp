// Where a read failed (line, column, item) and where a read stopped, whatever the refills.
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

struct StopCase {
  const char* text;
  std::size_t samples;
  std::uint64_t offset;  // where the sample read stopped, before the rest was dropped
  int line;
  std::size_t items;     // the samples it went through
};

TEST(StopPlace, WhereTheSampleReadLeftItsLastRecord) {
  const StopCase cases[] = {
      {"3,0.01\n1 2 3 4\n5\n", 3, 12, 2, 3},
      {"3,0.01\n1 2\r\n3\r\n", 3, 13, 3, 3},
      {"3,0.01\n1 2 / 3 4\n", 3, 11, 2, 2},  // at the slash
      {"3,0.01\n1 2 3/\n", 3, 12, 2, 3},     // a slash behind the last sample ends nothing
      {"0,0.01\n1 2\n", 0, 7, 2, 0},          // no sample: the record is still taken
  };
  for (const StopCase& c : cases) {
    SCOPED_TRACE(c.text);
    MemorySource source(c.text, 2);
    RecordReader reader(13, 0);
    reader.attach(source, "w.acc");
    std::int32_t n = 0;
    double step = 0.0;
    const std::array<Item, 2> header{Item::integer(n), Item::real(step)};
    ASSERT_EQ(reader.read_fixed_width(sample_layouts::kWaveformHeader, header), 0);
    EXPECT_EQ(reader.stop_offset(), 0u);
    EXPECT_EQ(reader.stop_line(), 1);
    std::array<double, 8> samples{};
    ASSERT_EQ(reader.read_free_form_reals(samples.data(), 1, c.samples), 0);
    EXPECT_EQ(reader.stop_offset(), c.offset);
    EXPECT_EQ(reader.stop_line(), c.line);
    EXPECT_EQ(reader.stop_items(), c.items);
  }
}

}  // namespace
