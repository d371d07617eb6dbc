#include "textio/number_format.hpp"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "textio/value_records.hpp"

namespace textio {
namespace {

using Rng = std::mt19937_64;
constexpr std::size_t kGuard = 8;

struct Field {
  std::string text;
  bool ok;
  bool guards_intact;
};

// Renders into the middle of a larger buffer so that a write outside [0, w) shows up.
Field render(int w, const std::function<bool(char*)>& render_into) {
  std::array<char, kMaxFieldWidth + 2 * kGuard> buf{};
  buf.fill('#');
  const bool ok = render_into(buf.data() + kGuard);
  const auto width = static_cast<std::size_t>(w);
  bool intact = true;
  for (std::size_t i = 0; i < buf.size(); ++i) {
    intact = intact && ((i >= kGuard && i < kGuard + width) || buf[i] == '#');
  }
  return {std::string(buf.data() + kGuard, width), ok, intact};
}

Field fixed(double v, int w, int d) {
  return render(w, [&](char* out) { return format_fixed(v, w, d, out); });
}

// printf renders the exact binary value, ties to even; the field differs only in dropping
// the sign of a negative value that rounds to zero and in overflowing to asterisks.
std::string oracle(double v, int w, int d) {
  const auto stars = std::string(static_cast<std::size_t>(w), '*');
  if (!std::isfinite(v)) return stars;
  std::array<char, 512> buf{};
  const int n = std::snprintf(buf.data(), buf.size(), "%#.*f", d, v);
  std::string s(buf.data(), static_cast<std::size_t>(n));
  if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  if (s.size() > static_cast<std::size_t>(w)) return stars;
  return std::string(static_cast<std::size_t>(w) - s.size(), ' ') + s;
}

// Compares `count` generated values against the oracle, reporting the first few misses.
void differential(int w, int d, int count, const std::function<double(Rng&)>& gen) {
  Rng rng(static_cast<std::uint64_t>(w * 100 + d));
  for (int i = 0, failures = 0; i < count && failures < 5; ++i) {
    const double v = gen(rng);
    const std::string want = oracle(v, w, d);
    const Field got = fixed(v, w, d);
    if (got.text != want || got.ok != (want[0] != '*') || !got.guards_intact) {
      ++failures;
      ADD_FAILURE() << "F" << w << "." << d << " of " << std::hexfloat << v << ": got \""
                    << got.text << "\" ok=" << got.ok << " guards=" << got.guards_intact
                    << ", want \"" << want << "\"";
    }
  }
}

double uniform(Rng& rng, double lo, double hi) {
  return std::uniform_real_distribution<double>(lo, hi)(rng);
}
double random_sign(Rng& rng) { return (rng() & 1) != 0 ? -1.0 : 1.0; }

// Moves v by `ulps` representable doubles (toward +infinity when positive).
double step_ulps(double v, int ulps) {
  for (int i = 0; i < std::abs(ulps); ++i) v = std::nextafter(v, ulps > 0 ? 1e300 : -1e300);
  return v;
}

// Values of every magnitude from tiny to far beyond the field.
double any_magnitude(Rng& rng) {
  return random_sign(rng) * uniform(rng, 1.0, 10.0) * std::pow(10.0, uniform(rng, -14, 10));
}

// Halfway between two d-decimal values, or an ulp or two either side of it. Odd multiples
// of 2^-(d+1) are ties exactly representable in binary.
double near_tie(Rng& rng, int d) {
  double v = (static_cast<double>(rng() % 20'000'000'000ULL) - 1e10 + 0.5) / std::pow(10.0, d);
  if (rng() % 4 == 0) v = std::ldexp(static_cast<double>(rng() % (1ULL << 40) | 1), -(d + 1));
  return random_sign(rng) * step_ulps(v, static_cast<int>(rng() % 5) - 2);
}

// Around the largest positive and negative values that still fit after rounding.
double near_edge(Rng& rng, int w, int d) {
  const double half = 0.5 / std::pow(10.0, d);
  const double edge =
      (rng() & 1) != 0 ? std::pow(10.0, w - d - 1) - half : -(std::pow(10.0, w - d - 2) - half);
  const double v = step_ulps(edge, static_cast<int>(rng() % 400) - 200);
  return rng() % 4 == 0 ? v + uniform(rng, -1e-3, 1e-3) : v;
}

// Subnormals, tiny values, values below half a unit of the last decimal, and -0.0.
double rounds_to_zero(Rng& rng, int d) {
  const double unit = std::pow(10.0, -d);
  const std::array<double, 4> picks = {std::bit_cast<double>(rng() & 0x800f'ffff'ffff'ffffULL),
                                       random_sign(rng) * std::pow(10.0, uniform(rng, -330, -d)),
                                       random_sign(rng) * uniform(rng, 0.0, 0.6) * unit, -0.0};
  return picks[rng() % picks.size()];
}

// The values the program writes: accelerations, velocities and time steps.
double realistic(Rng& rng) {
  return (rng() & 1) != 0 ? uniform(rng, -2000, 2000) : static_cast<double>(rng() % 20000) * 0.02;
}

class HotFields : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(HotFields, MatchesPrintfOverAMillionValues) {
  const auto [w, d] = GetParam();
  differential(w, d, 200'000, [](Rng& rng) { return std::bit_cast<double>(rng()); });
  differential(w, d, 250'000, any_magnitude);
  differential(w, d, 250'000, [d = d](Rng& rng) { return near_tie(rng, d); });
  differential(w, d, 100'000, [w = w, d = d](Rng& rng) { return near_edge(rng, w, d); });
  differential(w, d, 100'000, [d = d](Rng& rng) { return rounds_to_zero(rng, d); });
  differential(w, d, 150'000, realistic);
}

INSTANTIATE_TEST_SUITE_P(NumberFormat, HotFields,
                         testing::Values(std::pair{12, 4}, std::pair{14, 6}));

TEST(NumberFormatFixed, MatchesPrintfForEveryWidthAndDecimalCount) {
  for (int w = 1; w <= kMaxFieldWidth; ++w) {
    for (int d = 0; d <= kMaxDecimals; ++d) {
      differential(w, d, 150, any_magnitude);
      differential(w, d, 100, [d](Rng& rng) { return near_tie(rng, d); });
      differential(w, d, 100, [w, d](Rng& rng) { return near_edge(rng, w, d); });
      differential(w, d, 50, [d](Rng& rng) { return rounds_to_zero(rng, d); });
      // Integer-valued doubles from 2^53 up to far beyond any field.
      differential(w, d, 100, [](Rng& rng) {
        return random_sign(rng) *
               std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 200));
      });
    }
  }
}

// Any value a column may hold, weighted towards where the paths part: ties, carries into
// the integer part, the edges of the field, magnitudes near 2^-21 and 2^-12, zeros, every
// exponent from those that round to zero to those far past the field, specials.
double column_value(Rng& rng, int w, int d) {
  const double inf = std::numeric_limits<double>::infinity();
  switch (rng() % 10) {
    case 8: return std::ldexp(random_sign(rng) * uniform(rng, 1.0, 2.0), static_cast<int>(rng() % 100) - 75);
    case 9: return std::array{inf, -inf, std::nan(""), -0.0, 0.0}[rng() % 5];
    case 0: return std::bit_cast<double>(rng());
    case 1: return any_magnitude(rng);
    case 2: return near_tie(rng, d);
    case 3: return near_edge(rng, w, d);
    case 4: return rounds_to_zero(rng, d);
    case 5: return random_sign(rng) * std::ldexp(uniform(rng, 1.0, 2.0), static_cast<int>(rng() % 14) - 24);
    case 6: return step_ulps(static_cast<double>(rng() % 2'000'000) - 1e6 + (1.0 - 0.5 * std::pow(10.0, -d)),
                             static_cast<int>(rng() % 5) - 2);
    default: return realistic(rng);
  }
}

// Every way of rendering the columns the processor has (Best is one of them).
std::vector<ColumnPath> column_paths() {
  std::vector<ColumnPath> paths;
  for (const ColumnPath path : {ColumnPath::OneField, ColumnPath::Avx2, ColumnPath::Avx512}) {
    if (column_path_available(path)) paths.push_back(path);
  }
  return paths;
}

// Records and their value columns, rendered many fields or records at once, must give the
// bytes of the one-field renderer field by field, and write nothing outside their bytes,
// on every path: groups of four and eight fields and records, and what is left of them.
TEST(NumberFormatColumns, SameBytesAsFieldByField) {
  Rng rng(2026);
  std::vector<double> table(23 * 3 * 17);
  std::vector<double> firsts(17);
  std::string got;
  for (int trial = 0; trial < 60'000; ++trial) {
    const int count = 1 + static_cast<int>(rng() % 23);
    const int records = 1 + static_cast<int>(rng() % 17);
    const std::ptrdiff_t stride = 1 + static_cast<std::ptrdiff_t>(rng() % 3);
    const std::ptrdiff_t row_step = stride * count;
    const auto at = [&](int r, int k) -> double& { return table[static_cast<std::size_t>(r * row_step + k * stride)]; };
    std::string want;
    int want_over = 0;
    bool columns_fit = true;  // those of the first record
    for (int r = 0; r < records; ++r) {
      double& first = firsts[static_cast<std::size_t>(r)];
      first = rng() % 2 != 0 ? static_cast<double>(trial + r) * uniform(rng, 0.001, 0.1) : column_value(rng, 12, 4);
      char field[16];
      bool fits = format_fixed(first, 12, 4, field);
      want.append(field, 12);
      for (int k = 0; k < count; ++k) {
        at(r, k) = column_value(rng, 14, 6);
        const bool fit = format_fixed(at(r, k), 14, 6, field);
        want.append(",").append(field, 14);
        fits &= fit;
        columns_fit &= fit || r > 0;
      }
      want.append("\r\n");
      want_over += fits ? 0 : 1;
    }
    const std::size_t length = value_record_length(count);
    for (const ColumnPath path : column_paths()) {
      const auto at_trial = testing::Message() << trial << " path " << static_cast<int>(path);
      got.assign(kGuard + want.size() + kGuard, '#');
      const bool fits = format_f14_6_columns(table.data(), stride, count, got.data() + kGuard, path);
      ASSERT_EQ(got.substr(kGuard, length - 14), want.substr(12, length - 14)) << at_trial;
      ASSERT_EQ(fits, columns_fit) << at_trial;
      ASSERT_EQ(got.find_first_not_of('#', kGuard + length - 14), std::string::npos) << at_trial;
      got.assign(kGuard + want.size() + kGuard, '#');
      const int over = render_value_records(firsts.data(), records, table.data(), row_step, stride, count,
                                            got.data() + kGuard, path);
      ASSERT_EQ(got, std::string(kGuard, '#') + want + std::string(kGuard, '#')) << at_trial;
      ASSERT_EQ(over, want_over) << at_trial;
    }
  }
}

// Each value where the many-at-once paths change course, at every position of a group of
// fields and of records: the edges of their shift ranges (2^-12, 2^-15, 2^-21, 2^52), exact
// ties, carries, the widest fields that fit and the narrowest that do not, zeros, specials.
TEST(NumberFormatColumns, EdgesAtEveryPosition) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<double> edges = {
      0x1p-12, std::nextafter(0x1p-12, 0.0), -0x1.cp-15, std::nextafter(0x1p-15, 0.0), 0x1.8p-21,
      -std::nextafter(0x1p-21, 0.0), 0.0078125, -0.0234375, 0.03125, -0.00015, 999999.9999995,
      9999999.999999, 9999999.9999995, -999999.999999, -999999.9999995, 9999999.99995, -999999.99995,
      0x1p52, 0x1p52 - 0.5, 1e300, inf, -inf, std::nan(""), 5e-324, -0.0, 0.0, -1.0, 12.5};
  const std::size_t n = edges.size();
  std::vector<std::pair<int, ColumnPath>> edge_runs;
  for (const ColumnPath path : column_paths()) {
    for (const int count : {4, 8, 9, 17, 71}) edge_runs.emplace_back(count, path);
  }
  for (std::size_t start = 0; start < n; ++start) {
    std::vector<double> values(71 * 9);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = edges[(start + i) % n];
    for (const auto& [count, path] : edge_runs) {
      const std::size_t length = value_record_length(count);
      std::string want;
      int want_over = 0;
      for (std::size_t r = 0; r < 9; ++r) {
        char field[16];
        bool fits = format_fixed(values[r], 12, 4, field);
        want.append(field, 12);
        for (std::size_t k = 0; k < static_cast<std::size_t>(count); ++k) {
          fits &= format_fixed(values[r * 71 + k], 14, 6, field);
          want.append(",").append(field, 14);
        }
        want.append("\r\n");
        want_over += fits ? 0 : 1;
      }
      std::string got(kGuard + 9 * length + kGuard, '#');
      const int over =
          render_value_records(values.data(), 9, values.data(), 71, 1, count, got.data() + kGuard, path);
      const auto at = testing::Message() << start << " " << count << " path " << static_cast<int>(path);
      EXPECT_EQ(got, std::string(kGuard, '#') + want + std::string(kGuard, '#')) << at;
      EXPECT_EQ(over, want_over) << at;
    }
  }
}

TEST(NumberFormatFixed, HandCheckedCases) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double value;
    int w, d;
    std::string text;
  };
  // clang-format off
  const Case cases[] = {
      {0.02, 12, 4, "      0.0200"}, {12.3456789, 14, 6, "     12.345679"},
      {-0.5, 14, 6, "     -0.500000"}, {-0.00004, 12, 4, "      0.0000"},
      {-0.00006, 12, 4, "     -0.0001"}, {-0.0, 12, 4, "      0.0000"},
      {9999999.99996, 12, 4, "************"}, {-999999.99996, 12, 4, "************"},
      {9999999.9999, 12, 4, "9999999.9999"}, {-999999.9999, 12, 4, "-999999.9999"},
      {10000000.0, 12, 4, "************"}, {5.0, 4, 0, "  5."}, {0.0, 1, 0, "*"}, {0.0, 2, 0, "0."},
      {0.5, 3, 0, " 0."}, {1.5, 3, 0, " 2."}, {-0.5, 3, 0, " 0."}, {-2.5, 3, 0, "-2."},
      {0.125, 6, 2, "  0.12"}, {0.375, 6, 2, "  0.38"}, {2.675, 6, 2, "  2.67"},
      {1e20, 30, 2, "      100000000000000000000.00"}, {1e300, 64, 2, std::string(64, '*')},
      {inf, 12, 4, "************"}, {-inf, 5, 1, "*****"}, {std::nan(""), 14, 6, "**************"},
  };
  // clang-format on
  for (const auto& c : cases) {
    const Field got = fixed(c.value, c.w, c.d);
    EXPECT_EQ(got.text, c.text) << c.value << " F" << c.w << "." << c.d;
    EXPECT_EQ(got.ok, got.text[0] != '*') << c.value;
    EXPECT_TRUE(got.guards_intact) << c.value;
  }
}

TEST(NumberFormatInteger, HandCheckedCases) {
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  struct Case {
    std::int32_t value;
    int w;
    const char* text;
  };
  // clang-format off
  const Case cases[] = {
      {0, 1, "0"}, {0, 3, "  0"}, {12, 3, " 12"}, {-9, 2, "-9"}, {-10, 2, "**"}, {99, 2, "99"},
      {100, 2, "**"}, {999, 3, "999"}, {1000, 3, "***"}, {-99, 3, "-99"}, {-100, 3, "***"},
      {7, 1, "7"}, {-1, 1, "*"}, {-1, 2, "-1"}, {kMax, 10, "2147483647"}, {kMax, 9, "*********"},
      {kMax, 11, " 2147483647"}, {kMin, 11, "-2147483648"}, {kMin, 10, "**********"},
      {kMin, 14, "   -2147483648"},
  };
  // clang-format on
  for (const auto& c : cases) {
    const Field got = render(c.w, [&](char* out) { return format_integer(c.value, c.w, out); });
    EXPECT_EQ(got.text, c.text) << c.value << " I" << c.w;
    EXPECT_EQ(got.ok, got.text[0] != '*') << c.value;
    EXPECT_TRUE(got.guards_intact) << c.value;
  }
}

TEST(NumberFormatInteger, MatchesPrintfForEveryWidth) {
  Rng rng(7);
  for (int i = 0; i < 100'000; ++i) {
    // Every magnitude, both signs: the shift spreads the digit counts evenly.
    const std::uint32_t magnitude = static_cast<std::uint32_t>(rng()) >> (rng() % 32);
    const auto v = std::bit_cast<std::int32_t>((rng() & 1) != 0 ? 0U - magnitude : magnitude);
    const int w = static_cast<int>(rng() % kMaxFieldWidth) + 1;
    std::array<char, 32> buf{};
    const auto n = static_cast<std::size_t>(std::snprintf(buf.data(), buf.size(), "%d", v));
    const auto width = static_cast<std::size_t>(w);
    const std::string want =
        n > width ? std::string(width, '*') : std::string(width - n, ' ') + buf.data();
    const Field got = render(w, [&](char* out) { return format_integer(v, w, out); });
    ASSERT_EQ(got.text, want) << v << " I" << w;
    ASSERT_EQ(got.ok, want[0] != '*') << v << " I" << w;
    ASSERT_TRUE(got.guards_intact) << v << " I" << w;
  }
}

}  // namespace
}  // namespace textio
