#!/usr/bin/env bash
# Builds the benchmarks under perf/ and runs the FFT comparison with FFTW.
# Extra arguments go to the benchmark (for example --benchmark_repetitions=5).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh core perf
cmake --preset perf >/dev/null
cmake --build --preset perf -j "$(nproc)"
build/perf/perf/fft_vs_fftw "$@"
