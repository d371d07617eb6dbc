#!/usr/bin/env python3
"""Holds a written design wave to the criteria, its pSv computed with scipy alone.

    check_fitted_wave.py FOLDER

FOLDER holds a run's result set with the design wave. The wave's pSv (h = 0.05) at each
period of the target spectrum file comes from tests/spectra/reference_spectra.py (scipy's
first-order-hold discretisation and lfilter). Prints one line of "name value" pairs:
min_ratio, variation, mean_ratio (R = pSv / target), the times at which the cumulative
squared acceleration of the wave and of the phase case reach 5, 50 and 95 % of their
totals, the phase case's duration, the final and the peak velocity (trapezoid from rest),
the sample counts of both files, and whether their time columns are the same text.
"""
import os
import sys

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "spectra"))
import reference_spectra  # noqa: E402
from scipy import signal  # noqa: E402

TARGET = "\u5165\u529b\u7528\uff65\u76ee\u6a19\u901f\u5ea6\u30b9\u30da\u30af\u30c8\u30eb.csv"
PHASE = "\u5165\u529b\u7528\uff65\u4f4d\u76f8\u7528\u52a0\u901f\u5ea6\u6ce2\u5f62.csv"
WAVE = "\u5165\u529b\u7528\uff65\u6a21\u64ec\u5730\u9707\u6ce2\u5f62.csv"


def read_rows(folder, name):
    with open(os.path.join(folder, name), "rb") as f:
        lines = f.read().split(b"\r\n")
    rows = [line.split(b",") for line in lines[1:] if line]
    return [r[0] for r in rows], np.array([float(r[1]) for r in rows])


def psv(periods, a):
    a = reference_spectra.with_free_vibration(a, periods)
    out = []
    for p in periods:
        w, (bx, ax), _ = reference_spectra.filters(p)
        x = signal.lfilter(bx[0], ax, a)
        out.append(w * np.max(np.abs(x)))
    return np.array(out)


def course(a):
    energy = np.cumsum(a * a)
    total = energy[-1]
    return [reference_spectra.TIME_STEP * float(np.searchsorted(energy, s * total)) for s in (0.05, 0.5, 0.95)]


def main():
    folder = sys.argv[1]
    period_texts, target = read_rows(folder, TARGET)
    periods = [float(p) for p in period_texts]
    phase_times, phase = read_rows(folder, PHASE)
    wave_times, wave = read_rows(folder, WAVE)
    r = psv(periods, wave) / target
    mean = float(np.mean(r))
    v = np.cumsum(np.concatenate(([0.0], wave))[:-1] + wave) * reference_spectra.TIME_STEP / 2
    cells = {
        "min_ratio": float(np.min(r)), "variation": float(np.std(r) / mean), "mean_ratio": mean,
        "final_velocity": float(v[-1]), "peak_velocity": float(np.max(np.abs(v))),
        "duration": reference_spectra.TIME_STEP * len(phase),
        "wave_samples": len(wave), "phase_samples": len(phase), "same_times": int(phase_times == wave_times),
    }
    for label, (t5, t50, t95) in (("wave", course(wave)), ("phase", course(phase))):
        cells.update({label + "_t05": t5, label + "_t50": t50, label + "_t95": t95})
    print(" ".join("%s %r" % kv for kv in cells.items()))


if __name__ == "__main__":
    main()
