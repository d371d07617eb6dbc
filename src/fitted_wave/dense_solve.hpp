#pragma once
// Small dense linear systems of the fit (the drift correction's 6 unknowns, the steering's
// one per distinct period): Gaussian elimination with partial pivoting, row by row in a
// fixed order, so every host gets the same bits from the same system.
#include <cstddef>
#include <span>

namespace fitted_wave {

// Solves a x = b in place: `a` holds n x n values row by row and is overwritten, `b`
// holds n values and becomes x. False, with both in an unspecified state, when a pivot
// is 0 or a value is not finite.
//   a = {2, 1, 1, 3}, b = {3, 5} -> b = {0.8, 1.4}
bool solve_dense(std::span<double> a, std::span<double> b, std::size_t n) noexcept;

}  // namespace fitted_wave
