#!/usr/bin/env python3
"""Reference response spectra for the spectra tests, computed with scipy alone.

    reference_spectra.py INPUT OUTPUT

INPUT holds "periods N" and N periods, then for each record "record N" and N samples
(cm/s2, 0.02 s), one number a line. OUTPUT gets a line per record: Sv and pSv for each
period (h = 0.05).

Each oscillator x'' + 2 h w x' + w^2 x = -a(t) is discretised with the first-order hold
(scipy.signal.cont2discrete, method 'foh': exact for an acceleration linear between
samples), and each output, x and x', is run through its transfer function with
scipy.signal.lfilter from a zero state. That state is the oscillator at rest one step
before the first sample with the acceleration rising linearly from 0 to the first sample:
the first-order hold's discrete state at step k is the true state less the feedthrough of
the sample at k. Sv = max |x'|, pSv = w max |x|, over the samples.
"""
import sys

import numpy as np
from scipy import signal

TIME_STEP = 0.02
DAMPING = 0.05


def read_input(path):
    with open(path) as f:
        lines = iter(f.read().split("\n"))
    header = next(lines).split()
    periods = [float(next(lines)) for _ in range(int(header[1]))]
    records = []
    for line in lines:
        if not line.startswith("record "):
            continue
        count = int(line.split()[1])
        records.append(np.array([float(next(lines)) for _ in range(count)]))
    return periods, records


def filters(period):
    w = 2.0 * np.pi / period
    a = np.array([[0.0, 1.0], [-w * w, -2.0 * DAMPING * w]])
    b = np.array([[0.0], [-1.0]])
    ad, bd, cd, dd, _ = signal.cont2discrete((a, b, np.eye(2), np.zeros((2, 1))), TIME_STEP, method="foh")
    displacement = signal.ss2tf(ad, bd, cd[0:1], dd[0:1])
    velocity = signal.ss2tf(ad, bd, cd[1:2], dd[1:2])
    return w, displacement, velocity


def main():
    periods, records = read_input(sys.argv[1])
    oscillators = [filters(p) for p in periods]
    with open(sys.argv[2], "w") as out:
        for a in records:
            cells = []
            for w, (bx, ax), (bv, av) in oscillators:
                x = signal.lfilter(bx[0], ax, a)
                v = signal.lfilter(bv[0], av, a)
                cells += [np.max(np.abs(v)), w * np.max(np.abs(x))]
            out.write(" ".join(repr(float(c)) for c in cells) + "\n")


if __name__ == "__main__":
    main()
