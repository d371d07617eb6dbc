#include "textio/value_records.hpp"

#include "textio/number_digits.hpp"
#include "textio/number_format.hpp"

namespace textio {

bool render_value_record(double first, const double* values, std::ptrdiff_t stride, int count,
                         char* out) noexcept {
  // Each field is rendered in full, so one that overflows does not stop the others.
  const bool first_fits = format_f12_4(first, out);
  const bool values_fit = format_f14_6_columns(values, stride, count, out + 12);
  out += 12 + 15 * static_cast<std::size_t>(count);
  out[0] = '\r';
  out[1] = '\n';
  return first_fits && values_fit;
}

int render_value_records(const double* firsts, int records, const double* values, std::ptrdiff_t row_step,
                         std::ptrdiff_t stride, int count, char* out, ColumnPath path) noexcept {
  path = number_digits::column_path_for(path);
  switch (path) {
#if GM_FORMAT_HAS_AVX512_COLUMNS
    case ColumnPath::Avx512:
      return number_digits::render_value_records_avx512(firsts, records, values, row_step, stride, count, out);
#endif
#if GM_FORMAT_HAS_AVX2_COLUMNS
    case ColumnPath::Avx2:
      return number_digits::render_value_records_avx2(firsts, records, values, row_step, stride, count, out);
#endif
    default:
      break;
  }
  const std::size_t length = value_record_length(count);
  int overflowed = 0;
  for (int r = 0; r < records; ++r, out += length, values += row_step) {
    const bool first_fits = format_f12_4(firsts[r], out);
    const bool values_fit = format_f14_6_columns(values, stride, count, out + 12, path);
    out[length - 2] = '\r';
    out[length - 1] = '\n';
    overflowed += first_fits && values_fit ? 0 : 1;
  }
  return overflowed;
}

}  // namespace textio
