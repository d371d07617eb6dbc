#pragma once
// Fixed-width rendering of numbers for formatted records (Iw and Fw.d fields).
#include <cstddef>
#include <cstdint>

namespace textio {

// Largest field width and decimal count the renderers accept.
inline constexpr int kMaxFieldWidth = 64;
inline constexpr int kMaxDecimals = 9;

// Renders `value` as an Fw.d field into out[0..w): the exact binary value rounded to the
// nearest multiple of 10^-d (exact ties to even), right-aligned with blanks on the left,
// "-" only when the rounded digits are not all zero, no "+", no exponent, at least one
// integer digit, exactly d decimals. Writes exactly w bytes.
//   format_fixed(0.02, 12, 4)        -> "      0.0200"
//   format_fixed(12.3456789, 14, 6)  -> "     12.345679"
//   format_fixed(-0.00004, 12, 4)    -> "      0.0000"   (rounds to zero: no sign)
//   format_fixed(-0.0, 12, 4)        -> "      0.0000"
//   format_fixed(9999999.99996, 12, 4) -> "************" (returns false)
// Returns false, after writing w asterisks, when the rendering needs more than w
// positions or the value is infinite or NaN. Requires 1 <= w <= kMaxFieldWidth and
// 0 <= d <= kMaxDecimals.
bool format_fixed(double value, int w, int d, char* out) noexcept;

// format_fixed(value, 14, 6, out) and format_fixed(value, 12, 4, out): the value and time
// fields that make up nearly every byte of the result files, without the dispatch on the
// field's shape.
bool format_f14_6(double value, char* out) noexcept;
bool format_f12_4(double value, char* out) noexcept;

// The ways the value columns may be rendered, every one to the same bytes: one field at a
// time, four fields in the lanes of an AVX2 register, eight in those of an AVX-512 one.
// A run asks for Best, the widest the processor has; tests and benchmarks name each in
// turn, and one the processor lacks gives Best.
enum class ColumnPath { Best, OneField, Avx2, Avx512 };
bool column_path_available(ColumnPath path) noexcept;

// Renders values[k * stride], k = 0..count-1, each as a comma and an F14.6 field, into
// out[0, 15 * count): the value columns of a result file's data record in one call.
// Returns false when any field overflowed (that field holds asterisks).
bool format_f14_6_columns(const double* values, std::ptrdiff_t stride, int count, char* out,
                          ColumnPath path = ColumnPath::Best) noexcept;

// Renders `value` as an Iw field into out[0..w): decimal digits without leading zeros
// ("0" for zero), "-" when negative, right-aligned with blanks on the left.
//   format_integer(12, 3, out)  -> " 12"
//   format_integer(-9, 2, out)  -> "-9"
// Returns false, after writing w asterisks, when it needs more than w positions.
// Requires 1 <= w <= kMaxFieldWidth.
bool format_integer(std::int32_t value, int w, char* out) noexcept;

}  // namespace textio
