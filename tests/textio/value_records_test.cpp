#include "textio/value_records.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "support/fake_console.hpp"
#include "support/sample_layouts.hpp"
#include "textio/record_writer.hpp"

namespace {

class StringSink : public textio::ByteSink {
 public:
  bool write(const char* data, std::size_t n) override {
    bytes.append(data, n);
    return true;
  }
  std::string bytes;
};

// A record must be the bytes a write statement gives for the same items, and must say it
// overflowed exactly when the statement reports; the values lie `stride` apart.
void expect_as_statement(double first, const std::vector<double>& values, std::size_t stride) {
  testing_support::FakeConsole console;
  StringSink sink;
  textio::OutputUnit unit(24, 4096, false, console);
  unit.attach(sink, "f.csv");
  {
    textio::WriteStatement s(unit, values.size() == 1 ? textio::Layout(sample_layouts::kR3)
                                                      : textio::Layout(sample_layouts::kR7));
    s.real(first);
    for (double v : values) {
      s.text(",");
      s.real(v);
    }
  }
  unit.flush();
  std::vector<double> spread(values.size() * stride, -7.0);
  for (std::size_t k = 0; k < values.size(); ++k) spread[k * stride] = values[k];
  const int count = static_cast<int>(values.size());
  std::string got(textio::value_record_length(count), '?');
  const bool fits = textio::render_value_record(first, spread.data(), static_cast<std::ptrdiff_t>(stride),
                                                count, got.data());
  EXPECT_EQ(got, sink.bytes);
  EXPECT_EQ(fits, console.err.empty());
}

TEST(ValueRecord, SameBytesAsAWriteStatement) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<std::vector<double>> rows = {
      {0.0, 0.0},
      {1999.98, -375.25},
      {-0.0, -0.0, -0.0000004, -0.0000006},                       // no sign on a zero
      {9999999.99996, 1.0},                                       // the first field overflows
      {0.5, 9999999.9999995, 9999999.999999, -999999.9999995, -999999.999999},
      {0.5, inf, -inf, nan, 1e300, -1e-300, 5e-324},
      {123.45675, 0.0000005, 0.0000015, 0.0000025, 2.675, 1.0005},  // ties and near-ties
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row[0]);
    const std::vector<double> values(row.begin() + 1, row.end());
    expect_as_statement(row[0], values, 1);
    expect_as_statement(row[0], values, 100000);  // as the case tables lay them out
  }
  // Rows of 21 values over the magnitudes the files hold.
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> exponent(-12.0, 9.0);
  for (int i = 0; i < 3000; ++i) {
    std::vector<double> values(21);
    for (double& v : values) v = ((rng() & 1) ? -1.0 : 1.0) * std::pow(10.0, exponent(rng));
    expect_as_statement(static_cast<double>(i) * 0.02, values, 3);
  }
}

}  // namespace
