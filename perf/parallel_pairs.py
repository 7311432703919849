#!/usr/bin/env python3
"""Whole-process pairs of morlant-cli runs, alternating, for the shared computation.

For each digit count, runs the two commands of a pair one after the other,
`pairs` times, swapping which goes first every time, and times each whole
process (start to exit). Prints, per count, every pair's ratio (second /
first), the median of each side, and the ratio of the medians.

  parallel_pairs.py --pairs 5 --digits 1048576 8388608 \\
      --a "build/native/cli/morlant-cli --parallel 1" --b "build/native/cli/morlant-cli --parallel 2"

Each command gets `--digits D --runs 1 --no-verify --quiet` appended.
"""
import argparse
import shlex
import statistics
import subprocess
import sys
import time


def run(command, digits):
    args = shlex.split(command) + ["--digits", str(digits), "--runs", "1", "--no-verify", "--quiet"]
    start = time.perf_counter()
    done = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    seconds = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit(f"{command} failed ({done.returncode}): {done.stderr.strip()}")
    return seconds


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--a", required=True, help="the reference command")
    p.add_argument("--b", required=True, help="the command compared with it")
    p.add_argument("--pairs", type=int, default=5)
    p.add_argument("--digits", type=int, nargs="+", default=[1048576, 8388608])
    o = p.parse_args()
    print(f"a: {o.a}\nb: {o.b}")
    for digits in o.digits:
        a, b, ratios = [], [], []
        for i in range(o.pairs):
            if i % 2 == 0:
                ta = run(o.a, digits)
                tb = run(o.b, digits)
            else:
                tb = run(o.b, digits)
                ta = run(o.a, digits)
            a.append(ta)
            b.append(tb)
            ratios.append(tb / ta)
        ma, mb = statistics.median(a), statistics.median(b)
        print(f"{digits} digits, {o.pairs} pairs: a median {ma:.3f} s (min {min(a):.3f}), "
              f"b median {mb:.3f} s (min {min(b):.3f}), b/a of medians {mb / ma:.3f}, "
              f"of minima {min(b) / min(a):.3f}")
        print("  pair ratios b/a: " + " ".join(f"{r:.3f}" for r in ratios) +
              f"  (median {statistics.median(ratios):.3f})")


if __name__ == "__main__":
    main()
