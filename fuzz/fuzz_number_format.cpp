// Differential fuzzing of the number conversions of the record layer against the C
// library: the Fw.d and Iw renderers against printf and to_chars, and the parsers of
// free-form values and fixed-width fields against the grammar spelled out in
// reference_numbers.hpp and strtod.
//
// Input: a first byte below 0x20 selects rendering, and the bytes after it give a double's
// bit pattern (bytes 1-8), a field width and decimal count (bytes 9-10) and the scale of
// two derived values, which also fill a record of value columns as long as byte 14 asks;
// any other first byte makes the whole input a text to parse.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "check.hpp"
#include "reference_numbers.hpp"
#include "textio/number_format.hpp"
#include "textio/number_parse.hpp"

namespace {

using fuzzing::require;

void check_fixed(double v, int w, int d) {
  char got[textio::kMaxFieldWidth];
  const bool fits = textio::format_fixed(v, w, d, got);
  const std::string want = fuzzing::reference_fixed(v, w, d);
  const std::string_view rendered(got, static_cast<std::size_t>(w));
  char what[96];
  std::snprintf(what, sizeof what, "format_fixed(%a, %d, %d)", v, w, d);
  require(rendered == want, what, rendered, want);
  require(fits == (want.find_first_not_of('*') != std::string::npos),
          "format_fixed: return value disagrees with the field", rendered, want);
}

void check_integer(std::int32_t v, int w) {
  char got[textio::kMaxFieldWidth];
  const bool fits = textio::format_integer(v, w, got);
  const std::string want = fuzzing::reference_integer_text(v, w);
  const std::string_view rendered(got, static_cast<std::size_t>(w));
  require(rendered == want, "format_integer", rendered, want);
  require(fits == (want.find_first_not_of('*') != std::string::npos),
          "format_integer: return value disagrees with the field", rendered, want);
}

// The fields of the result files, and one field shape chosen by the input.
void check_renderings(double v, int w, int d) {
  check_fixed(v, 12, 4);
  check_fixed(v, 14, 6);
  check_fixed(v, w, d);
}

// A record's value columns, the input's values over and over, on every way of rendering
// them that the processor has: the bytes of the fields one by one.
void check_columns(const double (&values)[3], int count) {
  double row[23];
  std::string want;
  bool fits = true;
  for (int k = 0; k < count; ++k) {
    row[k] = values[k % 3];
    char field[14];
    fits &= textio::format_fixed(row[k], 14, 6, field);
    want.append(",").append(field, sizeof field);
  }
  for (const auto path : {textio::ColumnPath::OneField, textio::ColumnPath::Avx2, textio::ColumnPath::Avx512}) {
    if (!textio::column_path_available(path)) continue;
    std::string got(want.size(), '#');
    const bool got_fits = textio::format_f14_6_columns(row, 1, count, got.data(), path);
    require(got == want, "format_f14_6_columns", got, want);
    require(got_fits == fits, "format_f14_6_columns: return value disagrees with the fields", got, want);
  }
}

void check_rendering_input(const std::uint8_t* data, std::size_t size) {
  std::uint8_t bytes[16] = {};  // short inputs read as zero-padded
  std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
  const std::uint8_t mode = bytes[0];
  std::uint64_t bits;
  std::memcpy(&bits, bytes + 1, sizeof bits);
  const int w = 1 + bytes[9] % textio::kMaxFieldWidth;
  const int d = bytes[10] % (textio::kMaxDecimals + 1);

  // Any bit pattern: every finite double, also NaN and the infinities (all asterisks).
  check_renderings(std::bit_cast<double>(bits), w, d);

  // A "nice" decimal as data holds it: up to 13 digits with up to 9 decimals, converted
  // to the nearest double. These sit right next to the rounding points of the fields.
  const auto signed_bits = static_cast<std::int64_t>(bits);
  const std::int64_t digits = signed_bits % 10'000'000'000'000;
  const std::string decimal = std::to_string(digits) + "e-" + std::to_string(mode % 10);
  check_renderings(std::strtod(decimal.c_str(), nullptr), w, d);

  // A dyadic value m / 2^k: the only kind of double that can lie exactly halfway between
  // two multiples of 10^-d (k = d + 1 and m odd gives such a tie, which goes to even).
  const double dyadic =
      std::ldexp(static_cast<double>(signed_bits >> 11), static_cast<int>(bytes[11] % 96) - 64);
  check_renderings(dyadic, w, d);
  check_columns({std::bit_cast<double>(bits), std::strtod(decimal.c_str(), nullptr), dyadic}, 1 + bytes[14] % 23);

  // Integer fields: the rank field I3 and column field I2, and a width from the input.
  const auto i = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
  const auto small = static_cast<std::int32_t>(static_cast<std::int8_t>(bytes[12])) * (mode % 16);
  for (const std::int32_t v : {i, small}) {
    check_integer(v, 2);
    check_integer(v, 3);
    check_integer(v, 1 + bytes[13] % 12);
  }
}

bool same(const textio::RealResult& a, const textio::RealResult& b) {
  if (a.ec != b.ec) return false;
  return a.ec != textio::NumberError::None ||
         std::bit_cast<std::uint64_t>(a.value) == std::bit_cast<std::uint64_t>(b.value);
}

bool same(const textio::IntResult& a, const textio::IntResult& b) {
  return a.ec == b.ec && (a.ec != textio::NumberError::None || a.value == b.value);
}

std::string describe(const textio::RealResult& r) {
  if (r.ec == textio::NumberError::Syntax) return "Syntax";
  if (r.ec == textio::NumberError::Range) return "Range";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%a", r.value);
  return buffer;
}

std::string describe(const textio::IntResult& r) {
  if (r.ec == textio::NumberError::Syntax) return "Syntax";
  if (r.ec == textio::NumberError::Range) return "Range";
  return std::to_string(r.value);
}

template <class Result>
void require_same(const Result& got, const Result& want, const char* what, std::string_view text) {
  if (same(got, want)) return;
  const std::string message = std::string(what) + " of \"" + fuzzing::escaped(text) + "\"";
  fuzzing::fail(message, describe(got), describe(want));
}

void check_parsing_input(std::string_view text) {
  require_same(textio::parse_real(text), fuzzing::reference_real(text), "parse_real", text);
  require_same(textio::parse_integer(text), fuzzing::reference_integer(text), "parse_integer",
               text);
  require_same(textio::parse_real_field(text, 0), fuzzing::reference_real_field(text, 0),
               "parse_real_field d=0", text);
  const int d = static_cast<int>(text.size() % (textio::kMaxDecimals + 1));
  require_same(textio::parse_real_field(text, d), fuzzing::reference_real_field(text, d),
               "parse_real_field d=size%10", text);
  require_same(textio::parse_integer_field(text), fuzzing::reference_integer_field(text),
               "parse_integer_field", text);

  // The text at the front of a reader's buffer, blanks behind it: the prefix read stops
  // at its end when it is a real, and always gives what parse_real gives for the bytes
  // before its stop.
  const std::string padded = std::string(text) + std::string(40, ' ');
  const textio::RealPrefix prefix = textio::parse_real_prefix(padded.data(), padded.data() + padded.size());
  const textio::RealResult whole = fuzzing::reference_real(text);
  if (whole.ec != textio::NumberError::Syntax) {
    require(prefix.next == padded.data() + text.size(), "parse_real_prefix stops short of a real",
            text);
  }
  if (prefix.next != nullptr) {
    const std::string_view before(padded.data(), static_cast<std::size_t>(prefix.next - padded.data()));
    require(before.size() <= text.size(), "parse_real_prefix reads into the blanks", text);
    require_same(prefix.result, fuzzing::reference_real(before), "parse_real_prefix", before);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] < 0x20) {
    check_rendering_input(data, size);
  } else {
    check_parsing_input({reinterpret_cast<const char*>(data), size});
  }
  return 0;
}
