// What a reader tells its observer, whatever the refills (the source hands out 1, 2, 3, 7
// bytes at a time, or all at once): the fields as cut, what statements dropped, a slash,
// decimal-comma pairs, everything behind the last statement, and the bytes of a fault.
// That an observer changes nothing that is read is the record-reader fuzzer's to hold.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/memory_source.hpp"
#include "support/sample_layouts.hpp"
#include "textio/record_reader.hpp"

namespace {

using testing_support::MemorySource;
using textio::Item;
using textio::RecordReader;

// Everything told, as text: one line per event.
struct Recorder : textio::ReadObserver {
  std::vector<std::string> events;
  void field(const textio::FieldCut& c) override {
    events.push_back("field " + std::to_string(c.item) + " @" + std::to_string(c.place.line) + ":" +
                     std::to_string(c.place.column) + " `" + std::string(c.text) + "`" + (c.present ? "" : " absent") +
                     (c.ended_by_comma ? " comma" : "") +
                     (c.full ? " full next `" + std::string(1, c.next) + "` rest `" + std::string(c.rest) + "`" : ""));
  }
  void dropped(const textio::PassedOver& p) override {
    events.push_back("dropped @" + std::to_string(p.from.line) + ":" + std::to_string(p.from.column) + " values " +
                     std::to_string(p.values) + " used " + std::to_string(p.lines_used));
  }
  void slash(textio::Place p, std::size_t items) override {
    events.push_back("slash @" + std::to_string(p.line) + ":" + std::to_string(p.column) + " after " +
                     std::to_string(items));
  }
  void comma_pair(const textio::CommaPair& p) override {
    events.push_back("pair @" + std::to_string(p.place.line) + " item " + std::to_string(p.item) + " `" +
                     std::string(p.first) + "," + std::string(p.second) + "`" + (p.point_on_line ? " point" : ""));
  }
};

constexpr std::size_t kChunks[] = {1, 2, 3, 7, std::size_t{1} << 20};

// A waveform's two reads, then everything behind: the events and the tally of the rest.
std::vector<std::string> waveform_events(const std::string& text, std::size_t samples, std::size_t chunk) {
  MemorySource source(text, chunk);
  RecordReader reader(13, 0);
  reader.attach(source, "w.acc");
  Recorder seen;
  reader.set_observer(&seen);
  std::int32_t n = 0;
  double step = 0.0;
  const std::array<Item, 2> header{Item::integer(n), Item::real(step)};
  EXPECT_EQ(reader.read_fixed_width(sample_layouts::kWaveformHeader, header), 0);
  std::vector<double> values(samples + 1);
  EXPECT_EQ(reader.read_free_form_reals(values.data(), 1, samples), 0);
  const textio::PassedOver rest = reader.pass_over_rest();
  seen.events.push_back("rest values " + std::to_string(rest.values) + " used " + std::to_string(rest.lines_used) +
                        " first " + std::to_string(rest.first_used_line));
  return seen.events;
}

struct WaveformCase {
  const char* text;
  std::size_t samples;
  std::vector<std::string> events;  // after the header's two fields and its dropped rest
};

TEST(ReadObserver, WhatTheSampleReadPassedOver) {
  const WaveformCase cases[] = {
      {"3,0.01\n1 2 3 4\n5\n", 3, {"dropped @2:6 values 1 used 1", "rest values 1 used 1 first 3"}},
      {"3,0.01\n1 2\r\n3\r\n", 3, {"dropped @3:2 values 0 used 0", "rest values 0 used 0 first 0"}},
      {"3,0.01\n1 2 / 3 4\n", 3, {"slash @2:5 after 2", "dropped @2:5 values 2 used 1", "rest values 0 used 0 first 0"}},
      {"3,0.01\n1 2 3/\n", 3, {"dropped @2:6 values 0 used 1", "rest values 0 used 0 first 0"}},
      {"0,0.01\n1 2\n\n  \n\r\r\n x", 0, {"dropped @2:1 values 2 used 1", "rest values 1 used 2 first 5"}},
      {"1,0.01\n1\n  \r", 1, {"dropped @2:2 values 0 used 0", "rest values 0 used 1 first 3"}},
      // Pairs that look like one number with a decimal comma, and their look-alikes.
      {"4,0.01\n1.5\n6,126 2.5\n", 4, {"pair @3 item 2 `6,126` point", "dropped @3:10 values 0 used 0",
                                      "rest values 0 used 0 first 0"}},
      {"5,0.01\n1,2,3 -4,5\n", 5, {"pair @2 item 4 `-4,5`", "dropped @2:11 values 0 used 0",
                                  "rest values 0 used 0 first 0"}},
      {"2,0.01\n6,126,7.5\n", 2, {"pair @2 item 1 `6,126` point", "dropped @2:6 values 1 used 1",
                                 "rest values 0 used 0 first 0"}},
      {"3,0.01\n6,126,7.5\n", 3, {"dropped @2:10 values 0 used 0", "rest values 0 used 0 first 0"}},
      {"6,0.01\n6,-126 1.6,126 3*6,126\n", 6, {"dropped @2:19 values 1 used 1", "rest values 0 used 0 first 0"}},
      {"5,0.01\n,6,126 6,,126\n", 5, {"dropped @2:11 values 1 used 1", "rest values 0 used 0 first 0"}},
  };
  for (const WaveformCase& c : cases) {
    SCOPED_TRACE(c.text);
    for (std::size_t chunk : kChunks) {
      SCOPED_TRACE("chunk " + std::to_string(chunk));
      std::vector<std::string> events = waveform_events(c.text, c.samples, chunk);
      ASSERT_GE(events.size(), 3u);
      events.erase(events.begin(), events.begin() + 3);
      EXPECT_EQ(events, c.events);
    }
  }
}

struct FieldsCase {
  const char* record;
  std::vector<std::string> events;
};

TEST(ReadObserver, FieldsAsCut) {
  // F5, F5: small fields, so that a value runs on behind the layout's width.
  static constexpr textio::FieldDescriptor kTwoF5[] = {{textio::FieldDescriptor::Kind::F, 5, 0, 2}};
  const FieldsCase cases[] = {
      {"12345678,9\n", {"field 1 @1:1 `12345` full next `6` rest `678`", "field 2 @1:6 `678` comma"}},
      {"1234567890123 4\n", {"field 1 @1:1 `12345` full next `6` rest `67890123`",
                             "field 2 @1:6 `67890` full next `1` rest `123`"}},
      {"1234567890\r\n", {"field 1 @1:1 `12345` full next `6` rest `67890`", "field 2 @1:6 `67890`"}},
      {"12345,7\n", {"field 1 @1:1 `12345` full next `,` rest ``", "field 2 @1:6 `` comma"}},
      {"1234 6789,\n", {"field 1 @1:1 `1234 `", "field 2 @1:6 `6789` comma"}},
      {"1\n", {"field 1 @1:1 `1`", "field 2 @1:2 `` absent"}},
  };
  for (const FieldsCase& c : cases) {
    SCOPED_TRACE(c.record);
    for (std::size_t chunk : kChunks) {
      SCOPED_TRACE("chunk " + std::to_string(chunk));
      MemorySource source(c.record, chunk);
      RecordReader reader(12, 0);
      reader.attach(source, "s.csv");
      Recorder seen;
      reader.set_observer(&seen);
      std::array<double, 2> values{};
      const std::array<Item, 2> items{Item::real(values[0]), Item::real(values[1])};
      EXPECT_EQ(reader.read_fixed_width(kTwoF5, items), 0);
      seen.events.pop_back();  // what the statement dropped
      EXPECT_EQ(seen.events, c.events);
    }
  }
}

struct FaultTextCase {
  std::string text;
  bool header;  // the header's read fails, not the samples'
  int status;
  std::string bytes;  // the fault's text
};

TEST(ReadObserver, AFaultCarriesTheBytesThatDidNotRead) {
  const FaultTextCase cases[] = {
      {"2,0.01\n1 x3,4\n", false, 59, "x3"},
      {"2,0.01\n1 '-10'\n", false, 59, "'-10'"},
      {"2,0.01\n1 1E999/\n", false, 64, "1E999"},
      {"2,0.01\n1 0*10\n", false, 59, "0*10"},
      {"2,0.01\n" + std::string(2050, '7') + "\n", false, 59, std::string(textio::kFaultTextBytes, '7')},
      {"4000 0.02\n1\n", true, 64, "4000 0.02"},
      {"40,0.0x2\n1\n", true, 64, "0.0x2"},
      {"2,0.01\n1\n", false, 24, ""},
  };
  // The bytes are the last fault's: an end of the data after a value in error names none.
  {
    MemorySource source("1 x\n", 1);
    RecordReader reader(13, 0);
    reader.attach(source, "w.acc");
    double sample = 0.0;
    ASSERT_EQ(reader.read_free_form_reals(&sample, 1, 2), 59);
    EXPECT_EQ(reader.fault(59).text, "x");
    ASSERT_EQ(reader.read_free_form_reals(&sample, 1, 1), 24);
    EXPECT_EQ(reader.fault(24).text, "");
  }
  for (const FaultTextCase& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 30));
    for (std::size_t chunk : kChunks) {
      SCOPED_TRACE("chunk " + std::to_string(chunk));
      MemorySource source(c.text, chunk);
      RecordReader reader(13, 0);
      reader.attach(source, "w.acc");
      std::int32_t n = 0;
      double step = 0.0;
      const std::array<Item, 2> header{Item::integer(n), Item::real(step)};
      int status = reader.read_fixed_width(sample_layouts::kWaveformHeader, header);
      std::array<double, 2> samples{};
      if (!c.header) {
        ASSERT_EQ(status, 0);
        status = reader.read_free_form_reals(samples.data(), 1, 2);
      }
      ASSERT_EQ(status, c.status);
      EXPECT_EQ(reader.fault(status).text, c.bytes);
    }
  }
}

// The source's first bytes, told once whatever the refills, before a statement that takes
// them as text; all of a shorter source at its end.
TEST(ReadObserver, TellsTheFirstBytesOnceWhateverTheRefills) {
  struct Start : textio::ReadObserver {
    std::vector<std::string> told;
    void began(std::string_view bytes) override { told.emplace_back(bytes); }
  };
  const std::pair<std::string, std::string> sources[] = {
      {"\xEF\xBB\xBFtitle\n1\n", "\xEF\xBB\xBFt"}, {"a\n", "a\n"}, {"", ""}};
  for (const auto& [text, first] : sources) {
    for (const std::size_t chunk : kChunks) {
      SCOPED_TRACE(text + " in chunks of " + std::to_string(chunk));
      MemorySource source(text, chunk);
      RecordReader reader(10, 0);
      reader.attach(source, "d.csv");
      Start seen;
      reader.set_observer(&seen);
      reader.skip_record();
      reader.skip_record();
      EXPECT_EQ(seen.told, std::vector<std::string>{first});
    }
  }
}

}  // namespace
