#include "textio/value_records.hpp"

#include "textio/number_format.hpp"

namespace textio {

bool render_value_record(double first, const double* values, std::ptrdiff_t stride, int count,
                         char* out) noexcept {
  // Each field is rendered in full, so one that overflows does not stop the others.
  bool fits = format_f12_4(first, out);
  out += 12;
  for (int k = 0; k < count; ++k) {
    *out = ',';
    fits &= format_f14_6(values[static_cast<std::ptrdiff_t>(k) * stride], out + 1);
    out += 15;
  }
  out[0] = '\r';
  out[1] = '\n';
  return fits;
}

}  // namespace textio
