#include "textio/value_records.hpp"

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

}  // namespace textio
