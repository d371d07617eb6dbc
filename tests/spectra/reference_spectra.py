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
the sample at k. The record is followed by as many zeros as the longest finite positive
period spans in steps (at most 50 s): the free vibration after the ground stops, the
acceleration falling linearly to 0 over the first of them. Sv = max |x'|, pSv = w max |x|,
over the samples and those zeros.

With "energy H" after the periods in INPUT, each line also gets, per period, the velocity
equivalent of the input energy at damping H: V_E = sqrt(2 E), E = -trapezoid of a x' over
[0, samples, 0] and x' at the same points (rest before the first sample).
"""
import sys

import numpy as np
from scipy import signal

TIME_STEP = 0.02
DAMPING = 0.05
FREE_VIBRATION_CAP = 50.0


def free_vibration_steps(periods):
    finite = [p for p in periods if np.isfinite(p) and p > 0.0]
    return int(round(min(max(finite), FREE_VIBRATION_CAP) / TIME_STEP)) if finite else 0


def with_free_vibration(a, periods):
    return np.concatenate([a, np.zeros(free_vibration_steps(periods) if len(a) else 0)])


def read_input(path):
    with open(path) as f:
        lines = iter(f.read().split("\n"))
    header = next(lines).split()
    periods = [float(next(lines)) for _ in range(int(header[1]))]
    records, energy_damping = [], None
    for line in lines:
        if line.startswith("energy "):
            energy_damping = float(line.split()[1])
        if not line.startswith("record "):
            continue
        count = int(line.split()[1])
        records.append(np.array([float(next(lines)) for _ in range(count)]))
    return periods, records, energy_damping


def filters(period, damping=DAMPING):
    w = 2.0 * np.pi / period
    a = np.array([[0.0, 1.0], [-w * w, -2.0 * damping * w]])
    b = np.array([[0.0], [-1.0]])
    ad, bd, cd, dd, _ = signal.cont2discrete((a, b, np.eye(2), np.zeros((2, 1))), TIME_STEP, method="foh")
    displacement = signal.ss2tf(ad, bd, cd[0:1], dd[0:1])
    velocity = signal.ss2tf(ad, bd, cd[1:2], dd[1:2])
    return w, displacement, velocity


def energy_velocity(period, damping, a):
    _, _, (bv, av) = filters(period, damping)
    ground = np.concatenate([[0.0], a, [0.0]])
    v = np.concatenate([[0.0], signal.lfilter(bv[0], av, ground[1:])])
    energy = -np.sum(ground[1:] * v[1:] + ground[:-1] * v[:-1]) * TIME_STEP / 2
    return np.sqrt(2.0 * max(energy, 0.0))


def main():
    periods, records, energy_damping = read_input(sys.argv[1])
    oscillators = [filters(p) if np.isfinite(p) and p > 0.0 else None for p in periods]
    with open(sys.argv[2], "w") as out:
        for record in records:
            a = with_free_vibration(record, periods)
            cells = []
            for oscillator in oscillators:
                if oscillator is None:
                    cells += [float("nan"), float("nan")]
                    continue
                w, (bx, ax), (bv, av) = oscillator
                x = signal.lfilter(bx[0], ax, a)
                v = signal.lfilter(bv[0], av, a)
                cells += [np.max(np.abs(v)), w * np.max(np.abs(x))]
            if energy_damping is not None:
                cells += [energy_velocity(p, energy_damping, record) for p in periods]
            out.write(" ".join(repr(float(c)) for c in cells) + "\n")


if __name__ == "__main__":
    main()
