// The conversions and the samples' quick road against independent references: strtod
// (correctly rounded here) for every double, and the reader's general path (a list of
// real items) for everything a samples statement does.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/memory_source.hpp"
#include "textio/number_parse.hpp"
#include "textio/record_reader.hpp"

namespace {

using textio::NumberError;

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

// Significant digits on or next to a rounding boundary: an exact tie between two
// doubles, (2m + 1) * 2^k with a 53-bit m (scale 0), or (2m + 1) * 5^j at scale -j, which
// is (2m + 1) / 2^j; or one of its neighbours, a unit up or down.
std::string near_boundary(std::mt19937_64& rng, std::int64_t& scale) {
  const std::uint64_t odd = 2 * ((std::uint64_t{1} << 52) | (rng() >> 12)) + 1;
  std::uint64_t w = odd << (rng() % 10);
  scale = 0;
  if (rng() % 2 == 0) {
    scale = -1 - static_cast<std::int64_t>(rng() % 3);
    w = odd * (scale == -1 ? 5 : scale == -2 ? 25 : 125);
  }
  return std::to_string(w + rng() % 3 - 1);
}

// A text of every shape the grammar takes: a sign or none, leading zeros, 1 to 20
// significant digits with the point anywhere or nowhere, an exponent letter of any case
// (or none) with or without its sign, the scale over the whole range of doubles and past
// both ends.
std::string random_real(std::mt19937_64& rng) {
  std::int64_t scale = 0;  // value = significant digits * 10^scale
  std::string sig;
  if (rng() % 3 == 0) {
    sig = near_boundary(rng, scale);
  } else {
    for (std::uint64_t n = 1 + rng() % 20; n-- > 0;) sig += static_cast<char>('0' + rng() % 10);
    scale = static_cast<std::int64_t>(rng() % 700) - 360;
  }
  if (rng() % 50 == 0) sig = "0";
  std::string mantissa = std::string(rng() % 4 == 0 ? rng() % 3 : 0, '0') + sig;
  std::int64_t written = scale;
  if (rng() % 4 != 0) {  // a point somewhere, the exponent making up for it
    const std::size_t decimals = rng() % (mantissa.size() + 3);
    if (decimals > mantissa.size()) mantissa.insert(0, decimals - mantissa.size(), '0');
    mantissa.insert(mantissa.size() - decimals, ".");
    written += static_cast<std::int64_t>(decimals);
  }
  static const char* const kSigns[] = {"", "+", "-"};
  std::string text = kSigns[rng() % 3] + mantissa;
  if (written != 0 || rng() % 2 == 0) {
    text += "EeDdQq"[rng() % 6];
    text += (written < 0 ? "-" : rng() % 2 == 0 ? "+" : "") + std::to_string(written < 0 ? -written : written);
  }
  return text;
}

TEST(RealConversion, AgreesWithStrtodOverEveryShape) {
  std::mt19937_64 rng(20261210);
  for (int i = 0; i < 2'000'000; ++i) {
    const std::string text = random_real(rng);
    std::string e_text = text;
    for (char& c : e_text)
      if (std::strchr("EeDdQq", c) != nullptr) c = 'e';
    const double want = std::strtod(e_text.c_str(), nullptr);
    const textio::RealResult got = textio::parse_real(text);
    ASSERT_EQ(got.ec, std::isinf(want) ? NumberError::Range : NumberError::None) << text;
    ASSERT_EQ(bits(got.value), bits(std::isinf(want) ? 0.0 : want)) << text << " got " << got.value;
  }
}

// What an observer is told, as text.
struct Recorder : textio::ReadObserver {
  std::string told;
  static std::string at(textio::Place p) { return std::to_string(p.line) + ":" + std::to_string(p.column); }
  void dropped(const textio::PassedOver& p) override { told += "D" + at(p.from) + " " + std::to_string(p.values) + "\n"; }
  void slash(textio::Place p, std::size_t items) override { told += "S" + at(p) + " " + std::to_string(items) + "\n"; }
  void comma_pair(const textio::CommaPair& p) override {
    told += "P" + at(p.place) + " " + std::to_string(p.item) + std::string(p.first) + "," + std::string(p.second) +
            (p.point_on_line ? "." : "") + "\n";
  }
};

// Sample-like text: mostly fixed-width E values, five to a line, with the odd separator or
// shape a hand-edited file holds, and one in `stop_odds` a value that ends the statement,
// so that the samples statement leaves its quick road at every kind of place, inside and
// across the buffer's refills.
std::string sample_text(std::mt19937_64& rng, int values, std::uint64_t stop_odds) {
  static const char* const kOdd[] = {",", "-0.0", "12345678901234567890.5", ".5d-3", "+7", "\t", " , ", "3*2.5",
                                     "00000000001.25", "9.999999999999999999E+307", "1E-400", "7.E1234"};
  static const char* const kStops[] = {"1.5E", "1.2.3", "/", "'7'", "0.5E+400", "1.5*", "1E99999"};
  std::string text;
  char buf[64];
  for (int i = 0; i < values; ++i) {
    if (rng() % 40 == 0) {
      text += kOdd[rng() % std::size(kOdd)];
    } else if (rng() % stop_odds == 0) {
      text += kStops[rng() % std::size(kStops)];
    } else {
      const double v = std::ldexp(static_cast<double>(rng() % 2000000) - 1e6, static_cast<int>(rng() % 40) - 20);
      std::snprintf(buf, sizeof buf, rng() % 8 == 0 ? "%.*G" : "%17.*E", static_cast<int>(rng() % 12) + 1, v);
      text += buf;
    }
    const std::uint64_t sep = rng() % 30;
    text += sep == 0 ? "," : sep == 1 ? ", " : sep == 2 ? "\n" : sep < 5 ? "\r\n" : i % 5 == 4 ? "\r\n" : " ";
  }
  return text;
}

// The status, the doubles, the fault's place and bytes, where it stopped, what was told.
std::string read(const std::string& text, std::size_t chunk, int count, bool as_samples) {
  testing_support::MemorySource source(text, chunk);
  textio::RecordReader reader(13, 0);  // the smallest buffer: refills every few hundred values
  reader.attach(source, "case.acc");
  Recorder recorder;
  reader.set_observer(&recorder);
  std::vector<double> v(static_cast<std::size_t>(count), -1.0);
  std::vector<textio::Item> items;
  for (double& x : v) items.push_back(textio::Item::real(x));
  const int status = as_samples ? reader.read_free_form_reals(v.data(), 1, v.size()) : reader.read_free_form(items);
  std::string r = std::to_string(status) + "\n";
  for (const double x : v) r += std::to_string(bits(x)) + " ";
  const textio::Fault f = reader.fault(status);
  return r + "\n" + std::to_string(f.line) + ":" + std::to_string(f.column) + " item " + std::to_string(f.item) +
         " [" + f.text + "] stop " + std::to_string(reader.stop_line()) + "\n" + recorder.told;
}

TEST(ReadFreeFormReals, AgreesWithAListOfRealItems) {
  std::mt19937_64 rng(7);
  for (int round = 0; round < 300; ++round) {
    const std::string text = sample_text(rng, 3000, round % 2 == 0 ? 40 : 4000);
    const int count = static_cast<int>(rng() % 3200);
    const std::size_t chunk = rng() % 3 == 0 ? 1 + rng() % 5000 : std::size_t{1} << 20;
    ASSERT_EQ(read(text, chunk, count, true), read(text, chunk, count, false)) << "round " << round;
  }
}

}  // namespace
