#pragma once
// The data records that make up nearly every byte of the result files, rendered straight
// into memory: a first field F12.4 (a time or a period), then for each value a comma and
// the value in F14.6, then CR LF. These are the bytes a write statement gives for the same
// items through the layouts F12.4, A1, F14.6 and F12.4, n(A1, F14.6) (n at least the
// number of values), overflowing fields included. Every record of a table has the same
// length, so ranges of records can be rendered apart, side by side, into their places.
#include <cstddef>

#include "textio/number_format.hpp"

namespace textio {

// The bytes of a record with `values` values after its first field.
constexpr std::size_t value_record_length(int values) noexcept {
  return 12 + 15 * static_cast<std::size_t>(values) + 2;
}

// Renders the record of `first` and values[k * stride] for k = 0..values-1 into
// out[0, value_record_length(values)). Returns false when a field overflowed (it then
// holds asterisks), for which a write statement makes one report per record.
//   render_value_record(0.02, {1.5}, 1, 1, out) -> "      0.0200,      1.500000\r\n"
bool render_value_record(double first, const double* values, std::ptrdiff_t stride, int count,
                         char* out) noexcept;

// Renders `records` consecutive records of `count` values: record r, from
// out + r * value_record_length(count), of firsts[r] and values[r * row_step + k * stride]
// for k = 0..count-1. Returns how many records had a field that overflowed. The same bytes
// as render_value_record record by record; on most processors several records' first
// fields take one pass.
// `path` as for format_f14_6_columns (number_format.hpp).
int render_value_records(const double* firsts, int records, const double* values, std::ptrdiff_t row_step,
                         std::ptrdiff_t stride, int count, char* out,
                         ColumnPath path = ColumnPath::Best) noexcept;

}  // namespace textio
