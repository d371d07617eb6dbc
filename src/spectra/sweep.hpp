#pragma once
// The inner loop of the response spectra: a block of oscillators, side by side in vector
// lanes, swept over one record. Internal to the spectra room.
//
// Every lane runs the same recurrence (step_coefficients.hpp says where it comes from):
//   z1 <- (psi11 * z1 + psi12 * z2) + (b1 * a_before + a_now)
//   z2 <- (psi21 * z1 + psi22 * z2) + (b2 * a_before + a_now)
//   peak1 <- |z1| > peak1 ? |z1| : peak1,  peak2 likewise
// with these roundings in this order and nothing else, so a lane gives the same bits
// whatever the width of the vectors it sits in, and the one-lane path the same as all.
// The GCC/Clang vector types below need no instruction-set headers: the same source is
// compiled for SSE2, AVX2 or AVX-512 by the target of the function it is inlined into.
//
// Cost: 6 multiplies, 6 adds, 2 ands and 2 maxima per vector and step, which a processor
// with two multiply and two add pipes (and the bitwise ands on either) does in 4 cycles;
// the block's vectors are independent, so that their steps overlap and hide the latency
// of a step's own chain (multiply, add, add).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace spectra::detail {

// The coefficients of a vector of oscillators, one row of W lanes each.
enum CoefficientRow { kPsi11, kPsi12, kPsi21, kPsi22, kB1, kB2, kCoefficientRows };
// What a sweep leaves per lane: the peaks of |z1| and |z2| and the last z1 and z2, whose
// finiteness tells whether the sweep stayed finite (a NaN or infinity, once in the state,
// never leaves it: the newest sample enters with a factor of exactly 1).
enum OutcomeRow { kPeak1, kPeak2, kLast1, kLast2, kOutcomeRows };
inline constexpr int kMaxBlockLanes = 64;

struct SweepBlock {
  const double* acceleration;
  std::size_t samples;
  // Steps of free vibration after the last sample (oscillator.hpp): the first with the
  // acceleration falling from the last sample to 0, the rest at 0. None without samples.
  std::size_t rest_steps;
  // For vector k of the block, its kCoefficientRows rows of W lanes one after the other,
  // starting at coefficients + k * kCoefficientRows * W; aligned to W doubles.
  const double* coefficients;
  int vectors;                        // vectors in the block, 1..max_vectors
  double (*outcome)[kMaxBlockLanes];  // kOutcomeRows rows, the block's lanes from 0
};

using SweepFunction = void (*)(const SweepBlock&);

struct PathKernel {
  int width;        // lanes per vector
  int max_vectors;  // vectors per block
  SweepFunction sweep;
};

// One per instruction set; the AVX ones only where the processor has it.
PathKernel plain_kernel() noexcept;
PathKernel sse2_kernel() noexcept;
bool avx2_supported() noexcept;
PathKernel avx2_kernel() noexcept;
bool avx512_supported() noexcept;
PathKernel avx512_kernel() noexcept;

// A value the compiler must take as unknown at every step: reading through it again is a
// memory operand of the instruction that uses it, not a register held over the loop.
template <class T>
[[gnu::always_inline]] inline T* opaque(T* p) {
  asm volatile("" : "+r"(p));
  return p;
}

// All bits but the sign: `and` with it is |x|.
alignas(64) inline constexpr std::int64_t kMagnitudeBits[8] = {INT64_MAX, INT64_MAX, INT64_MAX, INT64_MAX,
                                                               INT64_MAX, INT64_MAX, INT64_MAX, INT64_MAX};

// How the peaks are kept: size = |z|, peak = size > peak ? size : peak, the magnitude made
// with a bitwise and (fabs for one lane). A path may give its own rule with the same
// outcome (sweep_avx512.cpp).
struct MagnitudeThenMaximum {
  template <class V, class I, std::size_t W>
  [[gnu::always_inline]] static inline void keep(const V& next1, const V& next2, V& peak1, V& peak2) {
    V size1, size2;
    if constexpr (W == 1) {
      size1 = std::fabs(next1);
      size2 = std::fabs(next2);
    } else {
      I magnitude;
      std::memcpy(&magnitude, opaque(kMagnitudeBits), sizeof magnitude);
      size1 = (V)((I)next1 & magnitude);
      size2 = (V)((I)next2 & magnitude);
    }
    // A NaN size leaves the peak as it is; the last state tells of it.
    peak1 = size1 > peak1 ? size1 : peak1;
    peak2 = size2 > peak2 ? size2 : peak2;
  }
};

// One step of one vector of oscillators, with the coefficients c, the sample `now` and the
// one before it in every lane. Vectors pass by reference: no vector calling convention is
// involved, and the function always melts into its caller.
template <class V, class I, std::size_t W, class Keep>
[[gnu::always_inline]] inline void advance(const V (&c)[kCoefficientRows], const V& now, const V& before,
                                           V& z1, V& z2, V& peak1, V& peak2) {
  const V in1 = c[kB1] * before + now;
  const V in2 = c[kB2] * before + now;
  const V next1 = (c[kPsi11] * z1 + c[kPsi12] * z2) + in1;
  const V next2 = (c[kPsi21] * z1 + c[kPsi22] * z2) + in2;
  z1 = next1;
  z2 = next2;
  Keep::template keep<V, I, W>(next1, next2, peak1, peak2);
}

// V is double or a GCC/Clang vector of W doubles, I the vector of W 64-bit integers of
// the same size; NV vectors side by side. Inlined into a function of each path's target:
// vectors never cross a call, so no vector calling convention is involved.
//
// The loop keeps the states and peaks of the block's vectors in registers and reads all
// else from memory at each step, as operands of the instructions that use it: the
// coefficients (kCoefficientsInRegisters false), the two samples and the magnitude mask.
// With 16 registers, holding those too would leave the compiler to spill registers to
// the stack in the loop (and MinGW-w64's GCC may do so with aligned 32-byte moves on a
// stack that Windows aligns to 16 bytes only: GCC bug 54412; Debian's cross compiler
// carries a patch that makes those moves unaligned).
template <class V, class I, std::size_t W, std::size_t NV, bool kCoefficientsInRegisters, class Keep>
[[gnu::always_inline]] inline void sweep_block(const SweepBlock& b) {
  constexpr std::size_t kVectorStride = kCoefficientRows * W;
  const double* const base = static_cast<const double*>(__builtin_assume_aligned(b.coefficients, sizeof(V)));
  V kept[kCoefficientsInRegisters ? NV : 1][kCoefficientRows];
  if constexpr (kCoefficientsInRegisters) std::memcpy(kept, base, sizeof kept);
  V z1[NV], z2[NV], peak1[NV], peak2[NV];
#pragma GCC unroll 8
  for (std::size_t k = 0; k < NV; ++k) {
    z1[k] = V{};
    z2[k] = V{};
    peak1[k] = V{};
    peak2[k] = V{};
  }
  // One step of every lane to sample[0] from sample[-1].
  const auto step = [&](const double* sample) __attribute__((always_inline)) {
    const double* const row = kCoefficientsInRegisters ? base : opaque(base);
    // The two samples, broadcast to every lane. Where a broadcast from memory is a plain
    // load (AVX), the samples are read again for every vector, so that no register is
    // held for them over the block; with SSE2 a broadcast is a shuffle, made once a step.
    V now{}, before{};
    if constexpr (W == 1) {
      now = sample[0];
      before = sample[-1];
    } else if constexpr (W == 2) {
      now = V{sample[0], sample[0]};
      before = V{sample[-1], sample[-1]};
    }
#pragma GCC unroll 8
    for (std::size_t k = 0; k < NV; ++k) {
      if constexpr (W == 4) {
        const double* const at = opaque(sample);
        now = V{at[0], at[0], at[0], at[0]};
        before = V{at[-1], at[-1], at[-1], at[-1]};
      } else if constexpr (W == 8) {
        const double* const at = opaque(sample);
        now = V{at[0], at[0], at[0], at[0], at[0], at[0], at[0], at[0]};
        before = V{at[-1], at[-1], at[-1], at[-1], at[-1], at[-1], at[-1], at[-1]};
      }
      V c[kCoefficientRows];
      if constexpr (kCoefficientsInRegisters) {
        std::memcpy(c, kept[k], sizeof c);
      } else {
        std::memcpy(c, __builtin_assume_aligned(row + k * kVectorStride, sizeof(V)), sizeof c);
      }
      advance<V, I, W, Keep>(c, now, before, z1[k], z2[k], peak1[k], peak2[k]);
    }
  };
  // The oscillator rests one step before the first sample, where the acceleration is 0.
  if (b.samples > 0) {
    const double first[2] = {0.0, b.acceleration[0]};
    step(&first[1]);
  }
  for (std::size_t i = 1; i < b.samples; ++i) step(opaque(b.acceleration + i));
  if (b.samples > 0 && b.rest_steps > 0) {
    const double last[2] = {b.acceleration[b.samples - 1], 0.0};
    step(&last[1]);
    // The same operations with zero samples: every path keeps the plain path's bits.
    const double rest[2] = {0.0, 0.0};
    for (std::size_t i = 1; i < b.rest_steps; ++i) step(opaque(&rest[1]));
  }
#pragma GCC unroll 8
  for (std::size_t k = 0; k < NV; ++k) {
    std::memcpy(&b.outcome[kPeak1][k * W], &peak1[k], sizeof(V));
    std::memcpy(&b.outcome[kPeak2][k * W], &peak2[k], sizeof(V));
    std::memcpy(&b.outcome[kLast1][k * W], &z1[k], sizeof(V));
    std::memcpy(&b.outcome[kLast2][k * W], &z2[k], sizeof(V));
  }
}

// sweep_block for b.vectors vectors, 1 to kMaxVectors, the coefficients of blocks of up to
// kRegisterVectors vectors kept in registers.
template <class V, class I, std::size_t W, std::size_t kMaxVectors, std::size_t kRegisterVectors,
          class Keep = MagnitudeThenMaximum, std::size_t NV = 1>
[[gnu::always_inline]] inline void sweep_vectors(const SweepBlock& b) {
  if constexpr (NV < kMaxVectors) {
    if (b.vectors > static_cast<int>(NV)) {
      sweep_vectors<V, I, W, kMaxVectors, kRegisterVectors, Keep, NV + 1>(b);
      return;
    }
  }
  sweep_block<V, I, W, NV, (NV <= kRegisterVectors), Keep>(b);
}

}  // namespace spectra::detail
