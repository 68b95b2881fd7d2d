#!/usr/bin/env python3
"""Compares builds by whole-frame time, alternating their runs so that the machine's drift
falls on all of them alike.

  bench/ab-timeline.py ROUNDS REF OTHER... [-- BENCH_TIMELINE_ARGUMENTS]

REF and each OTHER is a build folder (build/bench/bench_timeline and build/data.zip in it,
or a folder holding bench_timeline and data.zip side by side). Each round runs every build
once, `bench_timeline --no-split` over the whole timeline, in an order that rotates from
round to round; it then prints each build's median frame time, and its ratio to REF's run in
the same round. At the end come the median of those ratios: median frame, p95, and CPU time
per frame (left out where a build's older bench_timeline does not print it), each with the
range that holds the true median ratio with at least 90% confidence (from 5 rounds on).

Why: on a shared virtual machine the same build's median moves by 10-25% over minutes,
while builds run back to back within a round see the same machine. A ratio below 1 in most
rounds is a real gain; one long run of each build is not evidence. The range says how many
rounds are enough: a change is shown when its range leaves out x1.000. The default arguments
are `--size 1024x768 --step 0.25` (the 1024x576 view, 501 frames, about 12 s a run). Needs a
display: it starts each run through scripts/with-display.sh.
"""
import math
import os
import statistics
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
WITH_DISPLAY = os.path.join(HERE, '..', 'scripts', 'with-display.sh')


def paths(folder):
    built = os.path.join(folder, 'build', 'bench', 'bench_timeline')
    if os.path.exists(built):
        return built, os.path.join(folder, 'build', 'data.zip')
    return os.path.join(folder, 'bench_timeline'), os.path.join(folder, 'data.zip')


def run(folder, bench_args):
    """(median ms, p95 ms, CPU ms per frame or None) of one whole-frame run."""
    exe, data = paths(folder)
    out = subprocess.run([WITH_DISPLAY, exe, '--no-split'] + bench_args + [data],
                         capture_output=True, text=True).stdout
    lines = out.splitlines()
    for line in lines:
        if line.startswith('@summary'):
            f = line.split()
            return float(f[3]), float(f[4]), float(f[-1])
    for line in lines:  # an older bench_timeline: its "all" row, no CPU figure
        if line.startswith('all '):
            f = line.split()
            return float(f[2]), float(f[3]), None
    sys.exit('ab-timeline: no figures from ' + exe + '\n' + out[-2000:])


def median_range(ratios):
    """The k-th smallest and k-th largest ratio, k the largest count with P(B < k) <= 5% for
    B ~ Binomial(n, 1/2): the true median lies between them with the returned confidence,
    whatever the rounds' spread (no assumption of normal noise). None under 5 rounds."""
    n, tail, k = len(ratios), 0.0, 0
    while tail + math.comb(n, k) / 2 ** n <= 0.05:
        tail += math.comb(n, k) / 2 ** n
        k += 1
    if k == 0:
        return None
    ordered = sorted(ratios)
    return ordered[k - 1], ordered[n - k], 1 - 2 * tail


def summary(name, ratios):
    text = f'{name} x{statistics.median(ratios):.3f}'
    bounds = median_range(ratios)
    if bounds:
        text += f' (x{bounds[0]:.3f} to x{bounds[1]:.3f} at {bounds[2]:.0%})'
    return text


def main(argv):
    bench_args = ['--size', '1024x768', '--step', '0.25']
    if '--' in argv:
        i = argv.index('--')
        argv, bench_args = argv[:i], argv[i + 1:]
    if len(argv) < 3 or not argv[1].isdigit():
        sys.exit(__doc__)
    rounds, builds = int(argv[1]), argv[2:]
    ratios = {b: ([], [], []) for b in builds[1:]}
    for r in range(rounds):
        k = r % len(builds)
        results = {b: run(b, bench_args) for b in builds[k:] + builds[:k]}
        ref = results[builds[0]]
        row = f'round {r + 1}: ref {ref[0]:.1f} ms (p95 {ref[1]:.1f})'
        for b in builds[1:]:
            got = results[b]
            for series, new, old in zip(ratios[b], got, ref):
                if new is not None and old is not None:
                    series.append(new / old)
            row += f' | {b}: {got[0]:.1f} ms (p95 {got[1]:.1f}) x{got[0] / ref[0]:.3f}'
        print(row, flush=True)
    print('median of the ratios to ' + builds[0] + ':')
    for b, (median, p95, cpu) in ratios.items():
        parts = [summary('median frame', median), summary('p95', p95)] + ([summary('CPU per frame', cpu)] if cpu else [])
        print(f'  {b}: ' + ', '.join(parts))


if __name__ == '__main__':
    main(sys.argv)
