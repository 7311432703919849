#!/usr/bin/env python3
# Plants small faults in the product, one at a time, and checks that the tests
# catch each one: the way to see whether a slimmer test suite still earns its
# keep. Each fault is a change a tired developer could make.
#
# Usage: scripts/plant_faults.py TREE LOG [fault ids...]
# TREE is a checkout (not the one you work in: files are rewritten while a
# fault is planted) with the native, native-asan and windows-x64 presets built,
# and optionally fuzz. For each fault: plant, rebuild, test, restore, and add
# one line "id<TAB>outcome<TAB>seconds" to LOG.
#   Faults in portable code: every native test executable with --gtest_fail_fast
#     (the fault's folder first, the full-length check last), then the same in
#     the sanitizer build, then the fuzz stage when build/fuzz exists.
#   Faults in the window side: ctest of windows-x64, stopping at the first
#     failure, without the numeric-core and command-line suites (their
#     executables do not link the window side).
import glob
import os
import re
import subprocess
import sys
import time

# (id, file, text, replacement); faults in app/, controls/, res/ and the
# Windows probe are tested in the Windows build, the others natively.
FAULTS = [
 ("bignum-carry-word0", "bignum/big_add.cpp",
  "  for (; i >= 0; --i) {\n    const uint32_t s = x[i] + c;",
  "  for (; i > 0; --i) {\n    const uint32_t s = x[i] + c;"),
 ("bignum-compare-sign", "bignum/big_add.cpp",
  "return a->digits[i] > b->digits[i] ? 1 : -1;", "return a->digits[i] > b->digits[i] ? -1 : 1;"),
 ("bignum-round-half", "bignum/big_newton.cpp",
  "if (2 * d < R) return;", "if (2 * d <= R) return;"),
 ("bignum-parse-floor-exponent", "bignum/big_parse.cpp",
  "    lead += k;\n    --exponent;", "    lead += k;"),
 ("fft-odd-quarter", "fft/fft_impl.h",
  "  visit(std::true_type(), 1);", "  visit(std::false_type(), 1);"),
 ("fft-conj-sign", "fft/fft_impl.h",
  "const value2 flip = {1.0, -1.0};", "const value2 flip = {-1.0, 1.0};"),
 ("bench-score-mean-over-failed", "bench/benchmark.cpp",
  "std::round(total_score / successes)", "std::round(total_score / plan->runs)"),
 ("bignum-transform-length-off-by-one", "bignum/compute_pi.cpp",
  "while (length < quarter) length *= 2;", "while (length <= quarter) length *= 2;"),
 ("bench-verify-accepts-short", "bench/verify.cpp",
  "ref->guaranteed_digits != count", "ref->guaranteed_digits < count"),
 ("sysinfo-meminfo-units", "sysinfo/system_info_parse.cpp",
  "mb = kb >> 10", "mb = kb / 1000"),
 ("sysinfo-windows-cores-fallback", "sysinfo/system_info_windows.cpp",
  "  if (info->physical_cores == 0) info->physical_cores = info->logical_processors;\n", ""),
 ("cli-count-max-excluded", "cli/options.cpp",
  "if (v < lo || v > hi) return false;", "if (v < lo || v >= hi) return false;"),
 ("cli-median-even", "cli/report.cpp",
  "seconds[mid] : (seconds[mid - 1] + seconds[mid]) / 2", "seconds[mid] : seconds[mid]"),
 ("cli-json-backslash", "cli/json.cpp",
  "case '\\\\': out += \"\\\\\\\\\"; break;", "case '\\\\': out += \"\\\\\"; break;"),
 ("controls-time-decimals", "controls/result_card.cpp",
  'L"%.3f sec"', 'L"%.2f sec"'),
 ("controls-enter-key", "controls/circular_button.cpp",
  "return code | DLGC_WANTMESSAGE;", "return code;"),
 ("controls-pen-leak", "controls/card_paint.cpp",
  "  if (border != nullptr) DeleteObject(border);\n", ""),
 ("app-layout-gap", "app/main_window.cpp",
  "margin + scale(kStartSize) + gap;", "margin + scale(kStartSize);"),
 ("app-clipboard-line-end", "app/result_text.cpp",
  'text += L"\\r\\n";', 'text += L"\\n";'),
 ("res-about-caption", "res/morlant.rc",
  'CAPTION "About Morlant"', 'CAPTION "About"'),
]
if len(sys.argv) < 3:
    sys.exit('usage: scripts/plant_faults.py TREE LOG [fault ids...]')
tree, log = os.path.abspath(sys.argv[1]), sys.argv[2]
only = set(sys.argv[3:])

def sh(cmd, timeout=1800):
    p = subprocess.run(cmd, cwd=tree, shell=True, capture_output=True, text=True, timeout=timeout)
    return p.returncode, p.stdout + p.stderr

def native_bins(preset, folder):
    bins = [b for b in glob.glob(f"{tree}/build/{preset}/tests/**/*", recursive=True)
            if os.path.isfile(b) and os.access(b, os.X_OK) and re.search(r"_tests$", b)]
    key = lambda b: (("pi_long" in b), (f"/{folder}/" not in b), b)
    return sorted(bins, key=key)

def run_native(preset, folder):
    rc, out = sh(f"cmake --build --preset {preset} -j2")
    if rc: return "BUILD-FAILED " + out[-300:]
    for b in native_bins(preset, folder):
        rc, out = sh(f"{b} --gtest_fail_fast --gtest_brief=1", timeout=900)
        if rc:
            failed = re.findall(r"\[  FAILED  \] (\S+)", out)
            return f"{preset}: {os.path.basename(b)} {' '.join(sorted(set(failed))[:2]) or 'rc=%d' % rc}"
    return None

def run_fuzz():
    if not os.path.isdir(f"{tree}/build/fuzz"): return None
    rc, out = sh("cmake --build --preset fuzz -j2")
    if rc: return "BUILD-FAILED fuzz"
    rc, out = sh("ctest --preset fuzz -j2", timeout=900)
    if rc:
        failed = re.findall(r"\d+ - (\S+) \(", out)
        return "fuzz: " + " ".join(failed[:2])
    return None

def run_windows():
    rc, out = sh("cmake --build --preset windows-x64 -j2")
    if rc: return "BUILD-FAILED " + out[-300:]
    rc, out = sh("ctest --preset windows-x64 -j2 --stop-on-failure -E '^(Cli|Options|Fft|Bench)' --timeout 600")
    sh("scripts/wine-run.sh --stop build/windows-x64/wine")
    if rc:
        failed = re.findall(r"\d+ - (\S+) \(", out)
        return "windows-x64: " + " ".join(failed[:2])
    return None

for fid, path, old, new in FAULTS:
    if only and fid not in only: continue
    full = os.path.join(tree, path)
    src = open(full).read()
    if src.count(old) != 1:
        open(log, "a").write(f"{fid}\tNOT-APPLICABLE ({src.count(old)} matches)\n"); continue
    open(full, "w").write(src.replace(old, new))
    t0 = time.time()
    try:
        if path.split("/")[0] in ("app", "controls", "res") or "windows" in path:
            outcome = run_windows()
        else:
            folder = path.split("/")[0]
            outcome = run_native("native", folder) or run_native("native-asan", folder) or run_fuzz()
    finally:
        open(full, "w").write(src)
    outcome = outcome or "SURVIVED"
    open(log, "a").write(f"{fid}\t{outcome}\t{time.time()-t0:.0f}s\n")
    print(fid, outcome, flush=True)
