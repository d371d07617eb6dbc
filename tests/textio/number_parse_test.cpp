#include "textio/number_parse.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

using textio::NumberError;
using textio::parse_integer;
using textio::parse_integer_field;
using textio::parse_real;
using textio::parse_real_field;

constexpr double kTiny = std::numeric_limits<double>::denorm_min();
constexpr NumberError kOk = NumberError::None, kSyntax = NumberError::Syntax,
                      kRange = NumberError::Range;

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

// The reference value: the C library's conversion of the same text with an 'e' exponent.
// Only texts known to be well formed are handed over.
textio::RealResult oracle(std::string text) {
  for (char& c : text)
    if (std::strchr("EeDdQq", c) != nullptr) c = 'e';
  const double v = std::strtod(text.c_str(), nullptr);
  if (std::isinf(v)) return {0.0, kRange};
  return {v, kOk};
}

void expect_same(const textio::RealResult& got, const textio::RealResult& want,
                 const std::string& text) {
  ASSERT_EQ(got.ec, want.ec) << '"' << text << '"';
  ASSERT_EQ(bits(got.value), bits(want.value)) << '"' << text << "\" got " << got.value;
}

struct RealRow { std::string text; double value; NumberError ec; };

TEST(ParseReal, Table) {
  const std::string long_one = "1" + std::string(2048, '0');  // 2049 digits
  const std::string halfway = "9007199254740993";             // 2^53 + 1: a tie
  const RealRow rows[] = {
      {"1.5E-02", 0.015, kOk}, {"1.5e-02", 0.015, kOk}, {"1.5D-02", 0.015, kOk},
      {"1.5d-02", 0.015, kOk}, {"1.5Q-02", 0.015, kOk}, {"1.5q-02", 0.015, kOk},
      {"5", 5.0, kOk}, {"-.5", -0.5, kOk}, {"+3.", 3.0, kOk}, {"1.", 1.0, kOk},
      {".5", 0.5, kOk}, {"-.5E+2", -50.0, kOk}, {"-0", -0.0, kOk}, {"0E-5", 0.0, kOk},
      {"1E0000000000000000000005", 1e5, kOk}, {"0E99999999999999999999", 0.0, kOk},
      {"1E-99999999999999999999", 0.0, kOk}, {"-1E-999", -0.0, kOk}, {"1E-999", 0.0, kOk},
      {"000000000000000000000012.5", 12.5, kOk},
      {"0.000000000000000000000125", 1.25e-22, kOk},
      {"1e22", 1e22, kOk}, {"1e23", 1e23, kOk}, {"12e30", 12e30, kOk},
      {"9007199254740993e10", 9007199254740993e10, kOk}, {halfway, 9007199254740992.0, kOk},
      {"123456789012345678901234567890", 123456789012345678901234567890.0, kOk},
      {"1.7976931348623157E308", DBL_MAX, kOk},
      {"2.2250738585072011e-308", 2.2250738585072011e-308, kOk},
      {"4.9406564584124654E-324", kTiny, kOk}, {"2.4703282292062328E-324", kTiny, kOk},
      {"2.4703282292062327E-324", 0.0, kOk}, {"-2.4703282292062327E-324", -0.0, kOk},
      {"1e-310", 1e-310, kOk},
      {long_one + "E-2048", 1.0, kOk}, {"0." + long_one + "e-1", 0.01, kOk},
      // Digits far beyond those kept must still break a tie between two doubles.
      {halfway + std::string(1000, '0') + "E-1000", 9007199254740992.0, kOk},
      {halfway + std::string(1000, '0') + "1E-1001", 9007199254740994.0, kOk},
      {"18446744073709551617", 18446744073709551617.0, kOk},  // does not fit 64 bits
      {"0." + std::string(2000, '0') + "1E2005", 1e4, kOk},
      {long_one + "E-2051", 1e-3, kOk},
      {"1E999", 0.0, kRange}, {"-1E999", 0.0, kRange},
      {"1E99999999999999999999", 0.0, kRange},
      {"1.7976931348623159E308", 0.0, kRange}, {"9" + std::string(400, '9'), 0.0, kRange},
      {"1.2.3", 0, kSyntax}, {"1-2", 0, kSyntax}, {"--1", 0, kSyntax}, {"+-1", 0, kSyntax},
      {"E5", 0, kSyntax}, {".", 0, kSyntax}, {"-", 0, kSyntax}, {"+", 0, kSyntax},
      {"", 0, kSyntax},
      {"1e", 0, kSyntax}, {"1e+", 0, kSyntax}, {"1E+-2", 0, kSyntax}, {"1e5e5", 0, kSyntax},
      {"1e5.0", 0, kSyntax}, {".e5", 0, kSyntax}, {"inf", 0, kSyntax}, {"nan", 0, kSyntax},
      {"infinity", 0, kSyntax}, {"0x10", 0, kSyntax}, {"1f5", 0, kSyntax},
      {"1,5", 0, kSyntax}, {" 1", 0, kSyntax}, {"1 ", 0, kSyntax}, {"\t1", 0, kSyntax},
      {std::string("1\0", 2), 0, kSyntax},
      {"1E999x", 0, kSyntax}, {"1.0+5", 0, kSyntax},
      // The bytes either side of '0'..'9', inside runs long enough to be read eight at once.
      {"1234567:", 0, kSyntax}, {"/2345678", 0, kSyntax}, {"0.12345678:", 0, kSyntax},
      {"12345678/0", 0, kSyntax}, {"1.2345678\x7f", 0, kSyntax}, {"1234567\xb9", 0, kSyntax},
  };
  for (const auto& r : rows) expect_same(parse_real(r.text), {r.value, r.ec}, r.text);
}

// Decimal digits of k * 5^n; as k*5^n * 10^-n it is exactly k * 2^-n.
std::string times_power_of_five(std::uint64_t k, int n) {
  std::string digits = std::to_string(k);
  digits.assign(digits.rbegin(), digits.rend());  // least significant first
  for (int i = 0; i < n; ++i) {
    int carry = 0;
    for (char& c : digits) {
      const int v = (c - '0') * 5 + carry;
      c = static_cast<char>('0' + v % 10);
      carry = v / 10;
    }
    if (carry != 0) digits += static_cast<char>('0' + carry);
  }
  return {digits.rbegin(), digits.rend()};
}

// Exact ties need every one of their (up to 768) digits; only beyond them is a sticky
// digit enough. k * 2^-1075 for odd k lies halfway between two subnormals.
TEST(ParseReal, ExactTiesWithManyDigits) {
  const std::string half_tiny = times_power_of_five(1, 1075);  // 752 digits
  const std::string three_half_tiny = times_power_of_five(3, 1075);
  // Halfway between the largest subnormal and DBL_MIN: the longest tie there is.
  const std::string below_min = times_power_of_five((std::uint64_t{1} << 53) - 1, 1075);
  ASSERT_EQ(below_min.size(), 768u);
  const RealRow rows[] = {
      {half_tiny + "e-1075", 0.0, kOk},  // ties to even: zero
      {half_tiny + "1e-1076", kTiny, kOk},
      {half_tiny + std::string(900, '0') + "1e-1976", kTiny, kOk},
      {three_half_tiny + "e-1075", 2 * kTiny, kOk},  // ties to even: 2 * tiny
      {three_half_tiny.substr(0, 700) + "e-1023", kTiny, kOk},  // just below that tie
      {below_min + "e-1075", DBL_MIN, kOk},
      {below_min.substr(0, 767) + "e-1074", DBL_MIN - kTiny, kOk},
      {"1.00000000000000011102230246251565404236316680908203125", 1.0, kOk},
      {"1.000000000000000111022302462515654042363166809082031251", 1.0 + DBL_EPSILON, kOk},
  };
  for (const auto& r : rows) expect_same(parse_real(r.text), {r.value, r.ec}, r.text);
}

TEST(ParseReal, MatchesOracleOnPrintedDoubles) {
  std::mt19937_64 rng(12345);
  const char* const formats[] = {"%.17g", "%.17E", "%.10E", "%.6E",
                                 "%.1E",  "%.6f",  "%.22e", "%.3g"};
  const char letters[] = "EeDdQq";
  char buf[400];
  for (int i = 0; i < 300000; ++i) {
    double v = std::bit_cast<double>(rng());
    if (!std::isfinite(v)) continue;
    if (i % 3 == 0) v = std::ldexp(static_cast<double>(rng() >> 11), -53) * 4000.0 - 2000.0;
    std::snprintf(buf, sizeof buf, formats[i % 8], v);
    std::string text = buf;
    const std::string want = text;
    for (char& c : text)
      if (c == 'e' || c == 'E') c = letters[rng() % 6];
    expect_same(parse_real(text), oracle(want), text);
  }
}

TEST(ParseReal, MatchesOracleNearFastPathLimits) {
  std::mt19937_64 rng(777);
  for (int i = 0; i < 200000; ++i) {
    std::uint64_t m = 0;
    switch (i % 3) {
      case 0: m = (std::uint64_t{1} << 53) - 2000 + rng() % 4000; break;
      case 1: m = rng() % 10'000'000'000'000'000'000ULL; break;
      default: m = rng() % 100000; break;
    }
    const int e = static_cast<int>(rng() % 81) - 40;
    const std::string text = std::to_string(m) + (i & 1 ? "e" : "D") + std::to_string(e);
    expect_same(parse_real(text), oracle(text), text);
  }
}

// Random texts over the number alphabet, checked against the C library's own scanner:
// with the exponent letter mapped to 'e', a text is valid exactly when strtod consumes
// all of it, less what strtod additionally allows (leading white space, hex).
TEST(ParseReal, GrammarAgreesWithStrtodOnRandomTexts) {
  const char alphabet[] = "0123456789+-.eEdDqQx \t";
  std::mt19937 rng(99);
  int valid = 0;
  for (int i = 0; i < 100000; ++i) {
    std::string text(rng() % 10, '0');
    for (char& c : text) c = alphabet[rng() % (i % 2 ? 22 : 14)];
    std::string mapped = text;
    for (char& c : mapped)
      if (std::strchr("DdQq", c) != nullptr) c = 'e';
    char* stop = nullptr;
    std::strtod(mapped.c_str(), &stop);
    const bool want_valid = !text.empty() && text[0] != ' ' && text[0] != '\t' &&
                            text.find('x') == std::string::npos && *stop == '\0';
    const auto got = parse_real(text);
    if (want_valid) {
      ++valid;
      expect_same(got, oracle(text), text);
    } else {
      ASSERT_EQ(got.ec, kSyntax) << '"' << text << '"';
    }
  }
  EXPECT_GT(valid, 10000);  // the alphabet must keep producing enough valid texts
}

TEST(ParseReal, LongMantissasMatchOracle) {
  std::mt19937 rng(4242);
  for (int i = 0; i < 2000; ++i) {
    std::string text(1 + rng() % 2049, '0');
    for (char& c : text) c = static_cast<char>('0' + rng() % (i % 4 == 0 ? 2 : 10));
    text[rng() % text.size()] = '.';
    if (text == ".") continue;
    text += "e" + std::to_string(static_cast<int>(rng() % 4800) - 2400);
    expect_same(parse_real(text), oracle(text), text);
  }
}

// Any bytes at any length: a value or an error, never a crash or sanitizer finding.
TEST(NumberParse, RandomBytesAreHandled) {
  std::mt19937 rng(2024);
  const char pool[] = "0123456789+-.Ee \x00\xff\x82\xa0\x93\x81";
  for (int i = 0; i < 20000; ++i) {
    std::string text(rng() % 3001, '\0');
    for (char& c : text)
      c = (i % 2) ? static_cast<char>(rng()) : pool[rng() % (sizeof pool - 1)];
    const auto r = parse_real(text);
    const auto f = parse_real_field(text, static_cast<int>(rng() % 10));
    const auto n = parse_integer(text);
    const auto nf = parse_integer_field(text);
    for (const bool failed : {r.ec != kOk && r.value != 0.0, f.ec != kOk && f.value != 0.0,
                              n.ec != kOk && n.value != 0, nf.ec != kOk && nf.value != 0})
      ASSERT_FALSE(failed);
  }
}

// A real read from the front of a longer text stops where the grammar stops, and gives
// what parse_real gives for the bytes before that; no real there gives no stop.
TEST(ParseRealPrefix, StopsWhereTheGrammarStops) {
  struct Row { std::string text; std::size_t stop; };  // stop: npos for none
  const std::size_t none = std::string::npos;
  const Row rows[] = {
      {"-1.234567890E+01  5", 16}, {"1.5,2", 3},     {"3*1.5", 1},       {"+3. x", 3},
      {"-.5\r\n", 3},              {"1d2 ", 3},       {"12345678901234567890 ", 20},
      {"1.5E 2", none},            {"1.5e+", none},   {"", none},         {"'1.5'", none},
      {"-", none},                 {". ", none},      {"0.000000001234567890123e-3,", 26},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    const char* first = r.text.data();
    const textio::RealPrefix got = textio::parse_real_prefix(first, first + r.text.size());
    if (r.stop == none) {
      EXPECT_EQ(got.next, nullptr);
      continue;
    }
    ASSERT_NE(got.next, nullptr);
    EXPECT_EQ(static_cast<std::size_t>(got.next - first), r.stop);
    expect_same(got.result, parse_real(r.text.substr(0, r.stop)), r.text);
  }
}

struct IntRow { std::string text; std::int32_t value; NumberError ec; };

TEST(ParseInteger, Table) {
  const IntRow rows[] = {
      {"42", 42, kOk}, {"+7", 7, kOk}, {"-0", 0, kOk}, {"000000000000000000012", 12, kOk},
      {"2147483647", 2147483647, kOk}, {"-2147483648", INT32_MIN, kOk},
      {"2147483648", 0, kRange}, {"-2147483649", 0, kRange},
      {"99999999999999999999999", 0, kRange}, {"2.9", 2, kOk}, {"-2.9", -2, kOk},
      {"-0.5", 0, kOk}, {"1E3", 1000, kOk}, {"1D3", 1000, kOk}, {"1q3", 1000, kOk},
      {".5e1", 5, kOk}, {"2147483647.9", 2147483647, kOk}, {"-2147483648.9", INT32_MIN, kOk},
      {"2147483648.0", 0, kRange}, {"-2.147483649E9", 0, kRange},
      {"1E999", 0, kRange}, {"1E-999", 0, kOk},
      {"", 0, kSyntax}, {"-", 0, kSyntax}, {"+", 0, kSyntax}, {"1x", 0, kSyntax},
      {"1.2.3", 0, kSyntax}, {"1e", 0, kSyntax}, {" 1", 0, kSyntax}, {"1 ", 0, kSyntax},
      {"0x10", 0, kSyntax}, {"inf", 0, kSyntax}, {"--1", 0, kSyntax},
      {"99999999999x", 0, kSyntax},
  };
  for (const auto& r : rows) {
    const auto got = parse_integer(r.text);
    EXPECT_EQ(got.ec, r.ec) << '"' << r.text << '"';
    EXPECT_EQ(got.value, r.value) << '"' << r.text << '"';
  }
}

struct FieldRow { std::string text; int d; double value; NumberError ec; };

TEST(ParseRealField, Table) {
  const FieldRow rows[] = {
      {"  1.5 ", 0, 1.5, kOk}, {"1 2", 0, 12.0, kOk}, {"125", 2, 1.25, kOk},
      {"", 0, 0.0, kOk}, {"     ", 3, 0.0, kOk}, {"1 2 . 5", 0, 12.5, kOk},
      {"- 3", 0, -3.0, kOk}, {"1 25", 2, 1.25, kOk}, {"-0", 2, -0.0, kOk},
      {"12345", 9, 1.2345e-5, kOk}, {"1.5", 3, 1.5, kOk}, {"125E1", 2, 12.5, kOk},
      {"125d-1", 2, 0.125, kOk}, {"     1.2345E+03", 0, 1234.5, kOk},
      {"1 E - 2", 0, 0.01, kOk}, {"0", 5, 0.0, kOk}, {" +.5q1 ", 4, 5.0, kOk},
      {"1E-999", 0, 0.0, kOk}, {"12345678901234567890123", 9, 12345678901234.567890123, kOk},
      {"-", 0, 0, kSyntax}, {".", 0, 0, kSyntax}, {" + ", 0, 0, kSyntax},
      {"- .", 0, 0, kSyntax}, {"1\t", 0, 0, kSyntax}, {"1E", 0, 0, kSyntax},
      {"1E+ ", 0, 0, kSyntax}, {"1.0+5", 0, 0, kSyntax},
      {"1-", 0, 0, kSyntax}, {"1.2.", 0, 0, kSyntax}, {"1,5", 0, 0, kSyntax},
      {"1E999", 0, 0, kRange}, {"1 E 3 0 9", 0, 0, kRange},
  };
  for (const auto& r : rows) {
    expect_same(parse_real_field(r.text, r.d), {r.value, r.ec},
                r.text + " d=" + std::to_string(r.d));
  }
}

// Blanks anywhere in a field never change a value that has a written point.
TEST(ParseRealField, BlanksAreIgnoredAnywhere) {
  std::mt19937_64 rng(31);
  char buf[64];
  for (int i = 0; i < 20000; ++i) {
    const double v = std::bit_cast<double>(rng());
    if (!std::isfinite(v) || std::fabs(v) > 1e30) continue;
    std::snprintf(buf, sizeof buf, i % 2 ? "%.9E" : "%.4f", v);
    std::string field = buf;
    for (int k = 0; k < 4; ++k) {
      field.insert(rng() % (field.size() + 1), 1 + rng() % 3, ' ');
    }
    const int d = static_cast<int>(rng() % 10);
    expect_same(parse_real_field(field, d), parse_real(buf), field);
  }
}

TEST(ParseIntegerField, Table) {
  const IntRow rows[] = {
      {"  12", 12, kOk}, {"1 2", 12, kOk}, {"-7", -7, kOk}, {"", 0, kOk}, {"    ", 0, kOk},
      {"+ 0 0 1", 1, kOk}, {"2147483647 ", INT32_MAX, kOk}, {"- 2147483648", INT32_MIN, kOk},
      {"2147483648", 0, kRange}, {"-2147483649", 0, kRange},
      {"1" + std::string(50, '0'), 0, kRange},
      {"4000 0.02", 0, kSyntax}, {"1E3", 0, kSyntax}, {"1.", 0, kSyntax}, {"-", 0, kSyntax},
      {" + ", 0, kSyntax}, {"\t1", 0, kSyntax}, {"1-", 0, kSyntax}, {"--1", 0, kSyntax},
  };
  for (const auto& r : rows) {
    const auto got = parse_integer_field(r.text);
    EXPECT_EQ(got.ec, r.ec) << '"' << r.text << '"';
    EXPECT_EQ(got.value, r.value) << '"' << r.text << '"';
  }
}

}  // namespace
