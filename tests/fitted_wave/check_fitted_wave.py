#!/usr/bin/env python3
"""Measures a written design wave with numpy and scipy alone.

    check_fitted_wave.py FOLDER

FOLDER holds a run's result set with the design wave. Prints one line of "name value"
pairs:
  min_ratio, variation, mean_ratio  R = pSv / target over the periods of the target
      spectrum file; pSv (h = 0.05) from tests/spectra/reference_spectra.py (scipy's
      first-order-hold discretisation and lfilter over the wave and the free vibration
      after it)
  wave_/phase_ peak_acceleration, peak_velocity, peak_displacement, final_velocity,
      final_displacement  velocity and displacement by the trapezoid rule from rest one
      step before the first sample (v1 = a1 dt / 2, d1 = v1 dt / 2)
  first_sample  |first sample| / peak acceleration of the wave
  lead_in  the wave's share of its sum of squared acceleration before the sample at which
      the phase case's running sum reaches 1 % of its total
  wave_/phase_ t05, t50, t95  where each running sum reaches 5, 50 and 95 %
  band_low, band_high  the least and greatest ratio, wave over phase case, of the mean
      Fourier amplitude in one-third-octave bands from twice the highest axis frequency to
      the Nyquist frequency (periods under half the shortest; both zero-padded alike);
      1 and 1 when no band lies there
  wave_samples, phase_samples, same_times  the layout
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
DT = reference_spectra.TIME_STEP


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
        out.append(w * np.max(np.abs(signal.lfilter(bx[0], ax, a))))
    return np.array(out)


def from_rest(x):
    return np.cumsum(np.concatenate(([0.0], x))[:-1] + x) * DT / 2


def motion(label, a):
    v = from_rest(a)
    d = from_rest(v)
    return {label + "peak_acceleration": float(np.max(np.abs(a))), label + "peak_velocity": float(np.max(np.abs(v))),
            label + "peak_displacement": float(np.max(np.abs(d))), label + "final_velocity": float(v[-1]),
            label + "final_displacement": float(d[-1])}


def course(label, a):
    energy = np.cumsum(a * a)
    return {label + name: DT * float(np.searchsorted(energy, share * energy[-1]))
            for name, share in (("t05", 0.05), ("t50", 0.5), ("t95", 0.95))}


def band_ratios(wave, phase, periods):
    size = 1 << int(np.ceil(np.log2(2 * len(wave))))
    a = np.abs(np.fft.rfft(wave, size))
    p = np.abs(np.fft.rfft(phase, size))
    f = np.fft.rfftfreq(size, DT)
    nyquist = 0.5 / DT
    low = 2.0 / min(periods)
    ratios = []
    while low < nyquist:
        high = min(low * 2 ** (1 / 3), nyquist)
        band = (f >= low) & (f <= high)
        if band.any() and np.mean(p[band]) > 0:
            ratios.append(np.mean(a[band]) / np.mean(p[band]))
        low = high if high < nyquist else nyquist
    return (min(ratios), max(ratios)) if ratios else (1.0, 1.0)


def main():
    folder = sys.argv[1]
    period_texts, target = read_rows(folder, TARGET)
    periods = [float(p) for p in period_texts]
    phase_times, phase = read_rows(folder, PHASE)
    wave_times, wave = read_rows(folder, WAVE)
    r = psv(periods, wave) / target
    mean = float(np.mean(r))
    cells = {"min_ratio": float(np.min(r)), "variation": float(np.std(r) / mean), "mean_ratio": mean}
    cells.update(motion("wave_", wave))
    cells.update(motion("phase_", phase))
    cells["first_sample"] = abs(wave[0]) / cells["wave_peak_acceleration"]
    phase_energy = np.cumsum(phase * phase)
    onset = int(np.searchsorted(phase_energy, 0.01 * phase_energy[-1]))
    cells["lead_in"] = float(np.sum(wave[:onset] ** 2) / np.sum(wave ** 2))
    cells.update(course("wave_", wave))
    cells.update(course("phase_", phase))
    cells["band_low"], cells["band_high"] = band_ratios(wave, phase, periods)
    cells.update({"wave_samples": len(wave), "phase_samples": len(phase), "same_times": int(phase_times == wave_times)})
    print(" ".join("%s %r" % kv for kv in cells.items()))


if __name__ == "__main__":
    main()
