#include "textio/record_reader.hpp"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "support/memory_source.hpp"
#include "support/sample_layouts.hpp"

namespace {

using testing_support::MemorySource;
using textio::Item;
using textio::RecordReader;

// Reads the text with a small buffer and in chunks of every size from 1 up, so that refills
// fall on every byte of the input.
template <class Body>
void for_each_chunking(const std::string& text, Body&& body) {
  for (std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7},
                            std::size_t{1} << 20}) {
    SCOPED_TRACE("chunk " + std::to_string(chunk));
    MemorySource source(text, chunk);
    RecordReader reader(13, 0);
    reader.attach(source, "w.acc");
    body(reader);
  }
}

struct CountsCase {
  const char* text;
  int status;
  int first;
  int second;
};

TEST(FreeFormReader, CountsFromOneOrTwoRecords) {
  const CountsCase cases[] = {
      {"3, 12\n", 0, 3, 12},
      {"3 12\n", 0, 3, 12},
      {"3,12\n", 0, 3, 12},
      {"  3  ,  12  \r\n", 0, 3, 12},
      {"\t3\t12\n", 0, 3, 12},
      {"3\n12\n", 0, 3, 12},
      {"3\n12,7\n", 0, 3, 12},
      {"3\n\n   \n12", 0, 3, 12},        // blank records add nothing; last line without LF
      {"3,,\n", 0, 3, -5},               // null value keeps the old value
      {"3/\n", 0, 3, -5},                // slash ends the statement
      {"3 /12\n", 0, 3, -5},
      {",4\n", 0, -5, 4},
      {"3, ,5\n", 0, 3, -5},             // two commas with blanks between: one null
      {"2*7\n", 0, 7, 7},                // repeat count
      {"2*\n", 0, -5, -5},               // r null values
      {"1*,9\n", 0, -5, 9},
      {"2.9 -2.9\n", 0, 2, -2},          // a real form is truncated toward zero
      {"1E3,1D1\n", 0, 1000, 10},
      {"3\n", 24, 3, -5},                // the file ends before the second value
      {"", 24, -5, -5},
      {"3 x\n", 59, 3, -5},
      {"3 '5'\n", 59, 3, -5},            // a quoted value is no number
      {"3 2147483648\n", 64, 3, -5},     // beyond 32 bits
      {"3 1E999\n", 64, 3, -5},
      {"0*5 1\n", 59, -5, -5},
  };
  for (const CountsCase& c : cases) {
    SCOPED_TRACE(c.text);
    for_each_chunking(c.text, [&](RecordReader& reader) {
      std::int32_t a = -5;
      std::int32_t b = -5;
      const std::array<Item, 2> items{Item::integer(a), Item::integer(b)};
      EXPECT_EQ(reader.read_free_form(items), c.status);
      EXPECT_EQ(a, c.first);
      EXPECT_EQ(b, c.second);
    });
  }
}

TEST(FreeFormReader, StatementStartsOnTheRecordAfterTheLastOneTouched) {
  for_each_chunking("title line, with 1 2 3\n3\n12,7\nnext\n", [](RecordReader& reader) {
    EXPECT_EQ(reader.skip_record(), 0);
    std::int32_t a = 0;
    std::int32_t b = 0;
    const std::array<Item, 2> items{Item::integer(a), Item::integer(b)};
    EXPECT_EQ(reader.read_free_form(items), 0);
    textio::FixedText40 text{};
    const Item t = Item::text(text);
    EXPECT_EQ(reader.read_free_form({&t, 1}), 0);
    EXPECT_EQ(std::string(text.view().substr(0, 5)), "next ");
    EXPECT_EQ(reader.skip_record(), 24);
  });
}

struct TextCase {
  const char* text;
  int status;
  const char* want;  // first bytes of the 40-byte field (the rest must be blanks)
};

TEST(FreeFormReader, TextValues) {
  const std::string long45(45, 'x');
  const TextCase cases[] = {
      {"def.csv\n", 0, "def.csv"},
      {"  def.csv   \r\n", 0, "def.csv"},
      {"D:\\data\\def file.txt\n", 0, "D:\\data\\def"},
      {"'D:\\data\\def file.txt'\n", 0, "D:\\data\\def file.txt"},
      {"\"a,b/c\"\n", 0, "a,b/c"},
      {"'it''s'\n", 0, "it's"},
      {"'ab\r\ncd'\n", 0, "abcd"},            // a quoted value goes on over the record end
      {"\n\n  name\n", 0, "name"},            // empty answers give no value
      {"a/b\n", 0, "a"},
      {"\x8c\xb1,x\n", 0, "\x8c\xb1"},        // Shift-JIS bytes are ordinary characters
      {"'never closed\n", 24, ""},
      {"", 24, ""},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.text);
    for_each_chunking(c.text, [&](RecordReader& reader) {
      textio::FixedText40 field;
      textio::blank_fill(field);
      const Item item = Item::text(field);
      ASSERT_EQ(reader.read_free_form({&item, 1}), c.status);
      std::string want(c.want);
      want.resize(40, ' ');
      EXPECT_EQ(std::string(field.view()), want);
    });
  }
}

TEST(FreeFormReader, LongTextKeepsFirstFortyBytes) {
  const std::string name = std::string(38, 'a') + "\x8c\xb1" + "bbbbb";  // 45 bytes
  for_each_chunking(name + "\n", [&](RecordReader& reader) {
    textio::FixedText40 field{};
    const Item item = Item::text(field);
    ASSERT_EQ(reader.read_free_form({&item, 1}), 0);
    EXPECT_EQ(std::string(field.view()), name.substr(0, 40));
  });
}

TEST(FreeFormReader, ValueLengthLimit) {
  for (std::size_t length : {std::size_t{2049}, std::size_t{2050}}) {
    SCOPED_TRACE(length);
    const bool fits = length <= textio::kMaxValueLength;
    const std::string digits = "1." + std::string(length - 2, '0');
    for_each_chunking(digits + "\n", [&](RecordReader& reader) {
      double v = 0;
      const Item item = Item::real(v);
      EXPECT_EQ(reader.read_free_form({&item, 1}), fits ? 0 : 59);
    });
    for_each_chunking("'" + std::string(length, 'q') + "'\n", [&](RecordReader& reader) {
      textio::FixedText40 field{};
      const Item item = Item::text(field);
      EXPECT_EQ(reader.read_free_form({&item, 1}), fits ? 0 : 59);
    });
  }
}

TEST(FreeFormReader, SamplesInAnyLineShape) {
  const std::vector<double> want{1.5, 2.5, 3.5};
  for (const char* text : {"1.5 2.5 3.5 4.5\n", "1.5\n2.5\n3.5\n", "1.5,2.5\n3.5\n",
                           "  1.500E+00  2.5D0\r\n  35Q-1\r\n"}) {
    SCOPED_TRACE(text);
    for_each_chunking(text, [&](RecordReader& reader) {
      std::vector<double> got(3 * 2, -1.0);
      ASSERT_EQ(reader.read_free_form_reals(got.data(), 2, 3), 0);
      for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(got[2 * i], want[i]);
      EXPECT_EQ(got[1], -1.0);  // the stride is respected
    });
  }
}

TEST(FreeFormReader, CommaInsideANumberSeparatesTwoValues) {
  for_each_chunking("1,5\n", [](RecordReader& reader) {
    std::array<double, 2> got{};
    ASSERT_EQ(reader.read_free_form_reals(got.data(), 1, 2), 0);
    EXPECT_EQ(got[0], 1.0);
    EXPECT_EQ(got[1], 5.0);
  });
}

TEST(FreeFormReader, SampleFailures) {
  const CountsCase cases[] = {
      {"1.0 2.0\n", 24, 0, 0},   // fewer samples than announced
      {"1.0 abc 3\n", 59, 0, 0},
      {"1.0 1.0.0 3\n", 59, 0, 0},
      {"1.0 nan 3\n", 59, 0, 0},
      {"1.0 inf 3\n", 59, 0, 0},
      {"1.0 1E999 3\n", 64, 0, 0},
      {"1.0,,3\n", 0, 0, 0},     // a null value leaves the sample as it was
      {"1.0 / 3\n", 0, 0, 0},    // a slash ends the samples early
  };
  for (const CountsCase& c : cases) {
    SCOPED_TRACE(c.text);
    for_each_chunking(c.text, [&](RecordReader& reader) {
      std::array<double, 3> got{-1, -1, -1};
      EXPECT_EQ(reader.read_free_form_reals(got.data(), 1, 3), c.status);
    });
  }
}

// The samples statement takes plain reals by a shorter road than a list of real items:
// both must give the same status and the same values, whatever the text holds.
TEST(FreeFormReader, SamplesReadAsAListOfRealItemsWould) {
  const std::string long_value = "1." + std::string(2047, '5');  // 2049 bytes: the longest
  const std::string too_long = long_value + "5";
  const std::string texts[] = {
      "2*1.5 3.5\n",     "1.5 2* 3\n",         "'1.5' 2 3\n",        "1.5E 2 3\n",
      "1.5e5x 2 3\n",    "+3. -.5 1d2\n",      "1.5\t2.5\r\n3.5\n", "1.5/ 2 3\n",
      "3*\n4 5 6\n",     "1.0, ,2.0,3.0\n",    "1.5 2.5 3.5",        "1.5 2.5\n",
      "1.5 2.5 3.5x\n",  "1.5 2.5,,\n3.5\n",   "-0 +0 0e999\n",      "1 2 1e999\n",
      long_value + " 2 3\n",                    too_long + " 2 3\n",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 40));
    for_each_chunking(text, [&](RecordReader& reader) {
      MemorySource source(text);
      RecordReader items_reader(13, 0);
      items_reader.attach(source, "w.acc");
      std::array<double, 3> got{-1, -1, -1}, want{-1, -1, -1};
      const std::array<Item, 3> items{Item::real(want[0]), Item::real(want[1]), Item::real(want[2])};
      EXPECT_EQ(reader.read_free_form_reals(got.data(), 1, 3), items_reader.read_free_form(items));
      for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(got[i]), std::bit_cast<std::uint64_t>(want[i])) << i;
      }
      // And the next statement starts at the same record.
      EXPECT_EQ(reader.skip_record(), items_reader.skip_record());
    });
  }
}

TEST(FreeFormReader, EmptyListReadsExactlyOneRecord) {
  for_each_chunking("skip me, 1 2 3 '\nvalue\n", [](RecordReader& reader) {
    EXPECT_EQ(reader.skip_record(), 0);
    EXPECT_EQ(reader.skip_record(), 0);
    EXPECT_EQ(reader.skip_record(), 24);
  });
}

struct FolderLineCase {
  const char* text;
  int status;
  int number;
  const char* path;
};

TEST(FixedWidthReader, NumberAndPathLines) {
  const std::string fixed_columns = std::string(19, ' ') + "7" + "D:\\data\\case7";
  const std::string long_path(450, 'p');
  const FolderLineCase cases[] = {
      {"2,D:\\data\\fault2\n", 0, 2, "D:\\data\\fault2"},
      {"12,D:\\a b\\c\r\n", 0, 12, "D:\\a b\\c"},
      {"12, D:\\x\n", 0, 12, " D:\\x"},
      {"12\n", 0, 12, ""},
      {"1 2,p\n", 0, 12, "p"},
      {"\n", 0, 0, ""},
      {"3,a,b,c\n", 0, 3, "a,b,c"},
      {fixed_columns.c_str(), 0, 7, "D:\\data\\case7"},
      {"x,path\n", 64, 0, ""},
      {"1 D:\\data\n", 64, 0, ""},           // no comma: the path falls into the number
      {"99999999999,p\n", 64, 0, ""},
      {"", 24, 0, ""},
  };
  for (const FolderLineCase& c : cases) {
    SCOPED_TRACE(c.text);
    for_each_chunking(c.text, [&](RecordReader& reader) {
      std::int32_t number = -1;
      textio::FixedText400 path{};
      const std::array<Item, 2> items{Item::integer(number), Item::text(path)};
      ASSERT_EQ(reader.read_fixed_width(sample_layouts::kFolderLine, items), c.status);
      if (c.status != 0) return;
      EXPECT_EQ(number, c.number);
      std::string want(c.path);
      want.resize(400, ' ');
      EXPECT_EQ(std::string(path.view()), want);
    });
  }
  for_each_chunking("1," + long_path + "\n", [&](RecordReader& reader) {
    std::int32_t number = -1;
    textio::FixedText400 path{};
    const std::array<Item, 2> items{Item::integer(number), Item::text(path)};
    ASSERT_EQ(reader.read_fixed_width(sample_layouts::kFolderLine, items), 0);
    EXPECT_EQ(std::string(path.view()), long_path.substr(0, 400));
  });
}

TEST(FixedWidthReader, SpectrumRows) {
  std::string row = "0.1";
  for (int i = 1; i <= 27; ++i) row += "," + std::to_string(i);
  struct RowCase {
    std::string text;
    int status;
    double first;
    double last;
  };
  const RowCase cases[] = {
      {row + "\r\n", 0, 0.1, 27},
      {row + ",29\n", 0, 0.1, 27},                // a 29th field is ignored
      {row.substr(0, row.rfind(',')) + "\n", 0, 0.1, 0},  // 27 fields: the 28th is 0
      {"\n", 0, 0, 0},
      {"  1.5E+00 , 2 ,\n", 0, 1.5, 0},
      {"123456789012345678901234\n", 0, 12345678901234567890.0, 0},  // cut after 20 bytes
      {"1.0,text,3\n", 64, 0, 0},
      {"1.0,'3',3\n", 64, 0, 0},
      {"1.0,\t3\n", 64, 0, 0},
  };
  for (const RowCase& c : cases) {
    SCOPED_TRACE(c.text);
    for_each_chunking(c.text, [&](RecordReader& reader) {
      std::array<double, 28> fields{};
      fields.fill(-1);
      std::array<Item, 28> items{};
      for (std::size_t i = 0; i < 28; ++i) items[i] = Item::real(fields[i]);
      ASSERT_EQ(reader.read_fixed_width(sample_layouts::kSpectrumRow, items), c.status);
      if (c.status != 0) return;
      EXPECT_EQ(fields[0], c.first);
      EXPECT_EQ(fields[27], c.last);
    });
  }
}

TEST(FixedWidthReader, LayoutStartsAgainOnTheNextRecord) {
  std::string first;
  for (int i = 1; i <= 28; ++i) first += std::to_string(i) + ",";
  for_each_chunking(first + "\n101,102,103\n", [](RecordReader& reader) {
    std::array<double, 30> fields{};
    std::array<Item, 30> items{};
    for (std::size_t i = 0; i < 30; ++i) items[i] = Item::real(fields[i]);
    ASSERT_EQ(reader.read_fixed_width(sample_layouts::kSpectrumRow, items), 0);
    EXPECT_EQ(fields[27], 28);
    EXPECT_EQ(fields[28], 101);
    EXPECT_EQ(fields[29], 102);
  });
  for_each_chunking(first + "\n", [](RecordReader& reader) {
    std::array<double, 30> fields{};
    std::array<Item, 30> items{};
    for (std::size_t i = 0; i < 30; ++i) items[i] = Item::real(fields[i]);
    EXPECT_EQ(reader.read_fixed_width(sample_layouts::kSpectrumRow, items), 24);
  });
}

TEST(FixedWidthReader, WaveformHeaders) {
  const std::string fixed = std::string(16, ' ') + "2016" + std::string(16, ' ') + "0.02";
  const CountsCase cases[] = {
      {"4000,0.02\n", 0, 4000, 0},
      {"12000,1E-2\n", 0, 12000, 0},
      {fixed.c_str(), 0, 2016, 0},
      {"3\n", 0, 3, 0},
      {"40   2\n", 0, 402, 0},
      {"4000 0.02\n", 64, 0, 0},
      {"-5,0.02\n", 0, -5, 0},
  };
  for (const CountsCase& c : cases) {
    SCOPED_TRACE(c.text);
    for_each_chunking(c.text, [&](RecordReader& reader) {
      std::int32_t n = -1;
      double step = 0;
      const std::array<Item, 2> items{Item::integer(n), Item::real(step)};
      ASSERT_EQ(reader.read_fixed_width(sample_layouts::kWaveformHeader, items), c.status);
      if (c.status == 0) {
        EXPECT_EQ(n, c.first);
      }
    });
  }
}

TEST(FixedWidthReader, FieldOfTheWrongKindIsAMismatch) {
  for_each_chunking("5,6\n", [](RecordReader& reader) {
    double a = 0;
    double b = 0;
    const std::array<Item, 2> items{Item::real(a), Item::real(b)};
    EXPECT_EQ(reader.read_fixed_width(sample_layouts::kWaveformHeader, items), 61);
  });
}

}  // namespace
