#!/usr/bin/env python3
"""The response spectra of the largest run as a careful scipy user would compute them,
timed against spectra_bench: the same 21 records of 100000 samples (spectra_records.hpp's
generator, bit for bit), the same 55 periods, h = 0.05.

    bench/spectra_scipy.py [repeats]

Per period, the oscillator is discretised once with the first-order hold
(scipy.signal.cont2discrete, method 'foh') and turned into the transfer functions of x and
x' (ss2tf); each is run over all records at once (scipy.signal.lfilter along the sample
axis) and the peaks taken with numpy. Prints the best time of the repeats and the cost per
oscillator step. Needs Debian's python3-scipy; exits with 77 (skipped) without it.
"""
import sys
import time

try:
    import numpy as np
    from scipy import signal
except ImportError:
    print("spectra_scipy: needs numpy and scipy (Debian: python3-scipy)", file=sys.stderr)
    sys.exit(77)

CASES, SAMPLES, PERIODS = 21, 100000, 55
TIME_STEP, DAMPING = 0.02, 0.05
MASK = (1 << 64) - 1


def bench_record(case_number):
    """a_i = 0.9 a_(i-1) + 100 (u_i - 0.5), u_i from a 64-bit linear congruential generator."""
    x = case_number
    previous = 0.0
    a = np.empty(SAMPLES)
    for i in range(SAMPLES):
        x = (x * 6364136223846793005 + 1442695040888963407) & MASK
        u = (x >> 11) * 2.0**-53
        previous = 0.9 * previous + 100.0 * (u - 0.5)
        a[i] = previous
    return a


def spectra(records, periods):
    sv = np.empty((len(records), len(periods)))
    psv = np.empty_like(sv)
    for j, period in enumerate(periods):
        w = 2.0 * np.pi / period
        a = np.array([[0.0, 1.0], [-w * w, -2.0 * DAMPING * w]])
        b = np.array([[0.0], [-1.0]])
        ad, bd, cd, dd, _ = signal.cont2discrete((a, b, np.eye(2), np.zeros((2, 1))), TIME_STEP, method="foh")
        bx, ax = signal.ss2tf(ad, bd, cd[0:1], dd[0:1])
        bv, av = signal.ss2tf(ad, bd, cd[1:2], dd[1:2])
        sv[:, j] = np.max(np.abs(signal.lfilter(bv[0], av, records, axis=1)), axis=1)
        psv[:, j] = w * np.max(np.abs(signal.lfilter(bx[0], ax, records, axis=1)), axis=1)
    return sv, psv


def main():
    repeats = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    records = np.stack([bench_record(c) for c in range(1, CASES + 1)])
    periods = [10.0 ** (j / 54.0) for j in range(PERIODS)]
    best = float("inf")
    for _ in range(repeats):
        start = time.perf_counter()
        spectra(records, periods)
        best = min(best, time.perf_counter() - start)
    steps = CASES * SAMPLES * PERIODS
    print(f"scipy (cont2discrete foh + lfilter), {CASES} x {SAMPLES} samples x {PERIODS} periods: "
          f"{best * 1e3:.0f} ms, {best * 1e9 / steps:.2f} ns per oscillator step, one thread")


if __name__ == "__main__":
    main()
