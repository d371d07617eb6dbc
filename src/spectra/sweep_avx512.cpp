// Eight lanes in AVX-512 registers, for processors that have them (asked at run time).
// AVX-512F alone suffices: 512-bit multiplies, adds, maxima and bitwise and. Where the
// processor also has AVX-512DQ, its range instruction keeps each peak in one instruction
// instead of an and and a maximum: 14 instructions a step instead of 16, all of them on
// the same two pipes.
#include "spectra/sweep.hpp"

namespace spectra::detail {

namespace {

typedef double Avx512Doubles __attribute__((vector_size(64)));
typedef std::int64_t Avx512Integers __attribute__((vector_size(64)));
// Up to four vectors side by side; with 32 registers, the coefficients of two vectors stay
// in registers beside their states (measured on the machine it was tuned on: 0.56 cycles a step and
// lane; the 55 periods of a run make 7 vectors, in blocks of 4 and 3).
constexpr std::size_t kAvx512Vectors = 4;
constexpr std::size_t kAvx512RegisterVectors = 2;

// peak <- the larger magnitude of z and peak, its sign cleared (range, immediate 0b1011:
// bits 1:0 choose the larger magnitude, bits 3:2 clear the sign).
//
// Where z is finite this is the bits of MagnitudeThenMaximum: |z| > peak ? |z| : peak.
// A peak is never negative (it starts at +0 and takes magnitudes), so |peak| is peak; where
// the magnitudes are equal, both choices are the same bits once the sign is cleared, -0
// against +0 included. An infinite z gives +infinity either way.
//
// Where z is NaN the peak may differ (the range instruction passes the NaN on), and that
// is never seen: a lane whose state is NaN or infinite at any step ends with a state that
// is not finite, which respond_block reports as not computable without reading its peaks.
// Each new state is psi * z1 + psi * z2 + input, both old states multiplied by a
// coefficient: a NaN times anything is NaN, infinity times a finite nonzero number is
// infinite and times 0 is NaN, and a NaN or infinite term in a sum leaves it NaN or
// infinite. So both states stay not finite from that step to the last.
//
// An asm statement rather than a builtin: it needs no instruction-set attribute on the
// templates it passes through, only on the sweep that it ends up in. Clang checks a 512-bit
// operand against the whole file's instruction set, not the function's, so a Clang build
// keeps the and and the maximum.
#if !defined(__clang__)
#define GM_SWEEP_BY_RANGE 1
struct LargerMagnitudeByRange {
  template <class V, class I, std::size_t W>
  [[gnu::always_inline]] static inline void keep(const V& next1, const V& next2, V& peak1, V& peak2) {
    static_assert(W == 8, "one zmm register of doubles");
    asm("vrangepd $11, %1, %0, %0" : "+v"(peak1) : "v"(next1));
    asm("vrangepd $11, %1, %0, %0" : "+v"(peak2) : "v"(next2));
  }
};
#else
#define GM_SWEEP_BY_RANGE 0
#endif

__attribute__((target("avx512f"))) void sweep_avx512(const SweepBlock& b) {
  sweep_vectors<Avx512Doubles, Avx512Integers, 8, kAvx512Vectors, kAvx512RegisterVectors>(b);
}

#if GM_SWEEP_BY_RANGE
__attribute__((target("avx512f,avx512dq"))) void sweep_avx512dq(const SweepBlock& b) {
  sweep_vectors<Avx512Doubles, Avx512Integers, 8, kAvx512Vectors, kAvx512RegisterVectors, LargerMagnitudeByRange>(
      b);
}
#endif

SweepFunction avx512_sweep() noexcept {
#if GM_SWEEP_BY_RANGE
  if (__builtin_cpu_supports("avx512dq")) return sweep_avx512dq;
#endif
  return sweep_avx512;
}

}  // namespace

bool avx512_supported() noexcept { return __builtin_cpu_supports("avx512f"); }
PathKernel avx512_kernel() noexcept { return {8, static_cast<int>(kAvx512Vectors), avx512_sweep()}; }

}  // namespace spectra::detail
