#!/usr/bin/env bash
# Builds the benchmarks under perf/ and runs one comparison with its peer.
#   scripts/perf.sh fft [benchmark flags]   fft_complex_transform beside FFTW
#   scripts/perf.sh pi [repetitions] [digits]  compute_pi beside mpfr_const_pi
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-fft}
shift || true
scripts/install-deps.sh core perf
cmake --preset perf >/dev/null
cmake --build --preset perf -j "$(nproc)"
case "$what" in
  fft) build/perf/perf/fft_vs_fftw "$@" ;;
  pi) build/perf/perf/pi_vs_mpfr "$@" ;;
  *) echo "usage: scripts/perf.sh fft|pi [arguments]" >&2; exit 2 ;;
esac
