#!/usr/bin/env python3
"""Makes the shipped example, examples/shipped/, again: its case waveforms, its fault
spectrum tables and its definition file, byte for byte (numpy and scipy only).

    tools/make_example.py [OUTPUT_FOLDER]      (default: examples/shipped)

Every motion is either the 1940 El Centro NS record (U.S. public domain, kept under
tests/spectra/data/records/) or made here from seeded noise, so the set can be passed on
freely. A made motion is, in order (Boore 2003, "Simulation of ground motion using the
stochastic method", Pure Appl. Geophys. 160):

1. white Gaussian noise, numpy's PCG64 generator from a fixed seed, at 0.02 s;
2. shaped in frequency by the Kanai-Tajimi spectrum of the ground (Kanai 1957; Tajimi
   1960), its predominant frequency fg and damping 0.6, times the Clough-Penzien high-pass
   (Clough and Penzien 1975) at fg / 10, which keeps the ground's drift out;
3. multiplied by the envelope of Jennings, Housner and Tsai (1968): a rise (t / t1)^2,
   a plateau to t2, a decay exp(-c (t - t2)) to 1 % at the end;
4. high-passed without phase shift (4th-order Butterworth at 0.08 Hz, forward and
   backward: periods of 10 s keep 86 % of their amplitude, while the swings of 20 s and
   more that would carry the displacement to metres go) and tapered over its first and
   last second, so that it starts and ends at rest;
5. baseline-corrected (Boore and Bommer 2005, see baseline_corrected): a polynomial
   fitted to its displacement, its second derivative taken off the acceleration, so that
   its velocity and displacement come back to 0 at the end;
6. scaled to a peak acceleration and rounded to 0.001 cm/s2, as the file holds it.

The El Centro record gets the same baseline correction (its raw displacement drifts to
2.5 m) before it is rounded, and nothing else.

A fault's table holds the response of its motion, computed here as the tables of the
realistic example were: the exact step of an oscillator for an acceleration linear
between samples (scipy.signal.cont2discrete, method 'foh'), from rest, over the motion
and 10 s of free vibration after it, at 55 periods from 1 s to 10 s (equal steps of
log T) and 8 dampings; column 28 is the pseudo-velocity pSv at h = 0.05.

It prints each case's peak velocity, peak displacement and final velocity and
displacement (trapezoid rule from rest, as the program integrates), the ranks and the
phase case, which examples/shipped/README.md states.
"""
import os
import sys

import numpy as np
from scipy import signal

DT = 0.02
HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
ELCENTRO = os.path.join(ROOT, "tests", "spectra", "data", "records", "elcentro1940_ns.txt")
DAMPINGS = [0.00, 0.01, 0.02, 0.03, 0.05, 0.10, 0.20, 0.30]
PERIODS = [10.0 ** (j / 54.0) for j in range(55)]
HIGH_PASS = 0.08  # Hz, the made motions' high-pass corner
FREE_VIBRATION = 10.0  # s of zeros after a motion, for the tables

# name, seed, samples, fg (Hz), peak (cm/s2), rise t1 and plateau end t2 as parts of the length
CASES = [
    ("C01", None, 2688, None, None, None, None),  # El Centro 1940 NS as recorded
    ("C02", 2, 4096, 0.50, 250.0, 0.08, 0.35),
    ("C03", 3, 3000, 1.20, 300.0, 0.06, 0.30),
    ("C04", 4, 8192, 0.25, 180.0, 0.10, 0.45),
    ("C05", 5, 2000, 2.00, 400.0, 0.05, 0.25),
    ("C06", 6, 5000, 0.80, 200.0, 0.08, 0.40),
    ("C07_追加検討", 7, 6000, 0.35, 150.0, 0.10, 0.40),
]
# name, seed (None: El Centro NS), samples, fg, peak, t1, t2, scale, what it stands for
FAULTS = [
    ("F1", None, 2688, None, None, None, None, 1.5, "El Centro 1940 NS を 1.5 倍"),
    ("F2", 102, 6000, 0.60, 300.0, 0.08, 0.35, 1.0, "雑音から作った地震動 (fg = 0.60 Hz)"),
    ("F3_南海", 103, 15000, 0.20, 100.0, 0.12, 0.50, 1.0, "雑音から作った長継続時間の地震動 (fg = 0.20 Hz)"),
]


def elcentro():
    with open(ELCENTRO) as f:
        return np.array([float(line) for line in f if not line.startswith("#")])


def kanai_tajimi_clough_penzien(f, fg):
    """Squared amplitude of the ground filter at frequencies f (Hz)."""
    zg, ff, zf = 0.6, fg / 10.0, 0.6
    rg, rf = f / fg, f / ff
    ground = (1.0 + 4.0 * zg * zg * rg * rg) / ((1.0 - rg * rg) ** 2 + 4.0 * zg * zg * rg * rg)
    high_pass = rf ** 4 / ((1.0 - rf * rf) ** 2 + 4.0 * zf * zf * rf * rf)
    return ground * high_pass


def envelope(n, t1, t2):
    t = np.arange(n) * DT
    end = n * DT
    a, b = t1 * end, t2 * end
    c = np.log(100.0) / (end - b)
    e = np.ones(n)
    e[t < a] = (t[t < a] / a) ** 2
    e[t > b] = np.exp(-c * (t[t > b] - b))
    return e


def integrate(a):
    """Velocity and displacement by the trapezoid rule from rest one step before the first
    sample (v1 = a1 dt / 2, d1 = v1 dt / 2), exactly as the program integrates."""
    v = np.cumsum((np.concatenate(([0.0], a[:-1])) + a) * DT / 2.0)
    d = np.cumsum((np.concatenate(([0.0], v[:-1])) + v) * DT / 2.0)
    return v, d


def taper_window(n):
    """1 inside, a half cosine over the first and last second, 0 at the first sample."""
    taper = int(round(1.0 / DT))
    ramp = 0.5 * (1.0 - np.cos(np.pi * np.arange(taper) / taper))
    w = np.ones(n)
    w[:taper] = ramp
    w[-taper:] = ramp[::-1]
    return w


def baseline_corrected(a):
    """The acceleration less the second derivative of a polynomial fitted to its
    displacement (Boore and Bommer 2005, "Processing of strong-motion accelerograms:
    needs, options and consequences", Soil Dyn. Earthq. Eng. 25, 93-115): a polynomial of
    order 6 in t without constant or linear term, as the motion starts from rest.

    The correction's acceleration is the polynomial's second derivative times the end
    tapers, so the motion still starts and ends at rest, and its displacement is
    integrated as the program integrates; the fit is least squares, held to take off the
    final velocity and the final displacement exactly."""
    n = len(a)
    u = np.arange(n) / (n - 1.0)
    w = taper_window(n)
    basis = np.array([w * u ** k for k in range(5)])  # second derivatives of u^2 .. u^6
    ends = np.array([integrate(b) for b in basis])  # velocities and displacements
    v, d = integrate(a)
    fit = ends[:, 1, :].T  # displacement columns
    held = np.array([ends[:, 0, -1], ends[:, 1, -1]])
    kkt = np.block([[fit.T @ fit, held.T], [held, np.zeros((2, 2))]])
    rhs = np.concatenate((fit.T @ d, [v[-1], d[-1]]))
    coefficients = np.linalg.solve(kkt, rhs)[:5]
    return a - coefficients @ basis


def made_motion(seed, n, fg, peak, t1, t2):
    rng = np.random.default_rng(seed)
    noise = rng.standard_normal(n)
    spectrum = np.fft.rfft(noise)
    f = np.fft.rfftfreq(n, DT)
    f[0] = 1e-9
    a = np.fft.irfft(spectrum * np.sqrt(kanai_tajimi_clough_penzien(f, fg)), n)
    a *= envelope(n, t1, t2)
    sos = signal.butter(4, HIGH_PASS, btype="highpass", fs=1.0 / DT, output="sos")
    a = signal.sosfiltfilt(sos, a)
    a = baseline_corrected(a * taper_window(n))
    a *= peak / np.max(np.abs(a))
    return np.round(a, 3)


def motion(seed, n, fg, peak, t1, t2):
    return np.round(baseline_corrected(elcentro()[:n]), 3) if seed is None else made_motion(seed, n, fg, peak, t1, t2)


def peak_velocity(a):
    """Trapezoid rule from rest before the first sample, as the program integrates."""
    return float(np.max(np.abs(integrate(a)[0])))


def responses(a, period, h):
    """Peak relative displacement, relative velocity and absolute acceleration."""
    w = 2.0 * np.pi / period
    sys_a = np.array([[0.0, 1.0], [-w * w, -2.0 * h * w]])
    sys_b = np.array([[0.0], [-1.0]])
    ad, bd, cd, dd, _ = signal.cont2discrete((sys_a, sys_b, np.eye(2), np.zeros((2, 1))), DT, method="foh")
    padded = np.concatenate((a, np.zeros(int(round(FREE_VIBRATION / DT)))))
    # Each output through its transfer function from a zero state: the oscillator at rest
    # one step before the first sample, the acceleration rising linearly to it.
    bx, ax = signal.ss2tf(ad, bd, cd[0:1], dd[0:1])
    bv, av = signal.ss2tf(ad, bd, cd[1:2], dd[1:2])
    x = signal.lfilter(bx[0], ax, padded)
    v = signal.lfilter(bv[0], av, padded)
    absolute = -(w * w * x + 2.0 * h * w * v)
    return np.max(np.abs(x)), np.max(np.abs(v)), np.max(np.abs(absolute))


def table(name, what, a, scale):
    lines = [
        "Velmora長周期 応答スペクトル計算結果",
        f"震源断層: {name} ({what})",
        "入力地震動: tools/make_example.py (examples/shipped/README.md に出典)",
        f"倍率: {scale:.3f}",
        "時間刻み(s): 0.02",
        "減衰定数: " + ",".join(f"{h:.2f}" for h in DAMPINGS),
        "計算法: 区分線形加速度に対する厳密解 (自由振動 10 s を付加)",
        "",
        "単位: 周期(s), 振動数(Hz), Sa(cm/s2), Sd(cm), pSv(cm/s)",
        "列28: 擬似速度応答スペクトル h=5% (cm/s)",
        "",
        "周期,振動数," + ",".join(f"{k}(h={h:.2f})" for k in ("Sa", "Sd", "pSv") for h in DAMPINGS)
        + ",Sv(h=0.05),pSv(h=0.05)",
        "(s),(Hz)," + ",".join(["(cm/s2)"] * 8 + ["(cm)"] * 8 + ["(cm/s)"] * 10),
        "-----",
        "データ開始",
    ]
    for period in PERIODS:
        w = 2.0 * np.pi / period
        peaks = [responses(a * scale, period, h) for h in DAMPINGS]
        sa = [p[2] for p in peaks]
        sd = [p[0] for p in peaks]
        psv = [w * p[0] for p in peaks]
        sv5 = peaks[DAMPINGS.index(0.05)][1]
        cells = [f"{period:.3f}", f"{1.0 / period:.5f}"] + [f"{x:.4E}" for x in sa] + [f"{x:.5f}" for x in sd]
        cells += [f"{x:.5f}" for x in psv] + [f"{sv5:.5f}", f"{psv[DAMPINGS.index(0.05)]:.6f}"]
        lines.append(",".join(cells))
    return lines


def write_lines(path, lines):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("cp932"))


def waveform(a, fixed_columns):
    head = f"{len(a):10d},{DT:10.2f}" if fixed_columns else f"{len(a)},{DT:.2f}"
    rows = ["".join(f"{x:10.3f}" for x in a[i:i + 5]) for i in range(0, len(a), 5)]
    return [head] + rows


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "examples", "shipped")
    definition = ["長周期地震動 目標スペクトル・位相波形 作成用 定義ファイル (同梱の例題)",
                  f"{len(FAULTS)},{len(CASES)}", "No.,震源断層フォルダ"]
    for k, (name, seed, n, fg, peak, t1, t2, scale, what) in enumerate(FAULTS, 1):
        a = motion(seed, n, fg, peak, t1, t2)
        write_lines(os.path.join(out, "faults", name, "Velmora長周期.csv"), table(name, what, a, scale))
        definition.append(f"{k},faults\\{name}")
    definition.append("No.,ケースフォルダ")
    peaks = []
    for c, (name, seed, n, fg, peak, t1, t2) in enumerate(CASES, 1):
        a = motion(seed, n, fg, peak, t1, t2)
        write_lines(os.path.join(out, "cases", name, "加速度波形.acc"), waveform(a, name == "C03"))
        definition.append(f"{c},cases\\{name}")
        peaks.append(peak_velocity(a))
        v, d = integrate(a)
        print(f"{name}: {n} samples ({n * DT:.2f} s), peak acceleration {np.max(np.abs(a)):.3f} cm/s2, "
              f"peak velocity {peaks[-1]:.6f} cm/s, peak displacement {np.max(np.abs(d)):.1f} cm, "
              f"at the end {v[-1]:.4f} cm/s and {d[-1]:.2f} cm")
    definition.append("以下は読まれない注記: 各フォルダの出典は README.md を参照")
    write_lines(os.path.join(out, "def.csv"), definition)
    order = sorted(range(len(peaks)), key=lambda i: (-peaks[i], i))
    ranks = [order.index(i) + 1 for i in range(len(peaks))]
    phase = order[(len(peaks) + 1) // 2 - 1]
    print("ranks:", ", ".join(str(r) for r in ranks), f"; phase case {CASES[phase][0]}")


if __name__ == "__main__":
    main()
