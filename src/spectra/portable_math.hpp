#pragma once
// exp, log, sin and cos that give the same bits on every host. The C libraries of Linux (glibc)
// and of the Windows build (MinGW-w64) disagree in the last bit for a few arguments in a
// thousand, which would make an oscillator's coefficients, and so every sample of its
// response, differ between the two builds. These use only +, -, * and / on doubles (no
// fused multiply-add: the build has -ffp-contract=off), each rounded to nearest as IEEE 754
// requires of every host, in an order fixed here, so their results depend on the argument
// alone.
//
// They are within a few units in the last place over the ranges stated, not correctly
// rounded; what matters is that they are the same everywhere.

namespace spectra {

// ln x: x = 2^k m with m in [sqrt(1/2), sqrt(2)) taken from its bits (subnormals scaled
// by 2^54 first), f = m - 1 (exact), s = f / (2 + f), and
//   ln(1 + f) = 2 atanh(s) = f - (f^2/2 - s (f^2/2 + R)),  R = sum_i 2 s^(2i) / (2i + 1)
// to s^22 (remainder below 1e-18 for |s| <= 0.172), added to k ln 2 split as for e^x:
// the arrangement of fdlibm's e_log.c (Sun Microsystems, 1993) with the series' own
// coefficients, each the double nearest 2 / (2i + 1). -inf for 0, NaN for x < 0 and NaN,
// +inf for +inf. portable_log(10.0) -> 2.302585092994046 (within an ulp of ln 10).
double portable_log(double x) noexcept;

// e^x: exact reduction x = k ln 2 + r with |r| <= ln 2 / 2 (Cody and Waite, "Software
// Manual for the Elementary Functions", 1980: ln 2 split in a part with trailing zero bits,
// whose multiples by k are exact, and a correction), the Taylor series of e^r to r^13
// (remainder below 4e-18), and the scaling by 2^k built from its bits.
// 0 for x < -708 (where e^x < 2^-1021), +inf for x > 709, NaN for NaN.
// portable_exp(-1.0) -> 0.36787944117144233 (within an ulp of e^-1).
double portable_exp(double x) noexcept;

struct SinCos {
  double sin;
  double cos;
};

// sin and cos of 2*pi*turns. The argument is reduced in turns, where that is exact: turns
// minus its nearest whole number, and the remaining quarter-turn step, are computed without
// rounding for every double; only the final 2*pi*g, |g| <= 1/8, is rounded, and its sine
// and cosine come from their Taylor series to x^17 and x^18 (remainder below 1e-19).
// Every whole number of turns, |turns| >= 2^52 (all whole numbers) and infinity give
// exactly (0, 1); NaN gives NaN.
// portable_sincos_turns(0.125) -> (0.7071067811865476, 0.7071067811865476) within an ulp.
SinCos portable_sincos_turns(double turns) noexcept;

}  // namespace spectra
