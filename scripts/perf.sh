#!/usr/bin/env bash
# Builds the benchmarks under perf/ and runs one comparison with its peer, or
# the ARM64 speed estimate.
#   scripts/perf.sh fft [benchmark flags]      fft_complex_transform beside FFTW
#   scripts/perf.sh pi [repetitions] [digits...]  compute_pi beside mpfr_const_pi
#   scripts/perf.sh parallel [pairs] [digits...]  morlant-cli --parallel 2 against
#                                              --parallel 1, whole processes in
#                                              alternating pairs; with
#                                              MORLANT_BEFORE=<commit>, --parallel 1
#                                              against that commit's build too
#   scripts/perf.sh arm64                      portable against vector FFT path of the
#                                              aarch64 Linux build, GCC and clang 14:
#                                              qemu instruction counts and mix,
#                                              llvm-mca cycles
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-fft}
shift || true

# The ARM64 estimate (see perf/README.md): the workload drivers of both paths,
# built with GCC and with clang 14, run under qemu-aarch64 with the counting
# plugins, each workload once with and once without its repetition;
# perf/arm64/mca_estimate.py prints the counts of the difference, then compiles
# the FFT and kernel sources for llvm-mca.
arm64_estimate() {
  scripts/install-deps.sh core arm64-linux arm64-root arm64-perf
  local plugins root work counts
  plugins=$(scripts/arm64-perf-tools.sh | tail -1)
  root=$(scripts/arm64-root.sh | tail -1)
  export MORLANT_ARM64_ROOT=$root
  # The build folder of each compiler and path; each folder's preset has its name.
  local -A dirs=([gcc-portable]=build/linux-arm64-perf-portable [gcc-vector]=build/linux-arm64-perf
                 [clang-portable]=build/linux-arm64-perf-clang-portable [clang-vector]=build/linux-arm64-perf-clang)
  local builds=(gcc-portable gcc-vector clang-portable clang-vector)
  for build in "${builds[@]}"; do
    local preset=${dirs[$build]#build/}
    cmake --preset "$preset" >/dev/null
    nice cmake --build --preset "$preset" -j "$(nproc)"
  done
  work=build/arm64-perf
  counts=$work/counts.txt
  mkdir -p "$work"
  rm -f "$work"/qemu-*.log
  : >"$counts"
  # One emulated run: its instruction count and mix as a line of $counts.
  count() {  # compiler-path workload reps
    local bin=${dirs[$1]}/perf/arm64/arm64_workloads log="$work/qemu-$1-$2-$3.log"
    nice env -i /usr/bin/qemu-aarch64 -cpu neoverse-n1 -L /usr/aarch64-linux-gnu \
      -plugin "$plugins/libinsn.so,inline=on" -plugin "$plugins/libinsn_mix.so" -d plugin -D "$log" \
      "$bin" "$2" "$3"
    local insns mix
    insns=$(sed -n 's/^insns: //p' "$log")
    mix=$(sed -n 's/^mix: total \([0-9]*\) vector \([0-9]*\) scalar_fp \([0-9]*\) load \([0-9]*\) store \([0-9]*\) other \([0-9]*\)$/\1 \2 \3 \4 \5 \6/p' "$log")
    [ -n "$insns" ] && [ -n "$mix" ] || { echo "no counts from $bin $2 $3 (see $log)" >&2; return 1; }
    echo "${1%-*} ${1#*-} $2 $3 $insns $mix" >>"$counts"
  }
  # The 24 runs, one per core at a time, the longest first.
  local start=$SECONDS pids=() failed=0
  for job in "pi 1" "mul 1" "fft 1" "pi 0" "mul 0" "fft 0"; do
    for build in "${builds[@]}"; do
      while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
      count "$build" $job &
      pids+=($!)
    done
  done
  for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
  [ "$failed" = 0 ] || { echo "qemu runs failed" >&2; return 1; }
  echo "qemu runs: $((SECONDS - start)) s" >&2
  python3 perf/arm64/mca_estimate.py --gcc-portable "${dirs[gcc-portable]}" --gcc-vector "${dirs[gcc-vector]}" \
    --clang-portable "${dirs[clang-portable]}" --clang-vector "${dirs[clang-vector]}" \
    --work "$work" --counts "$counts" --report "$work/report.md"
  echo
  echo "Markdown tables: $work/report.md"
}

case "$what" in
  fft | pi)
    scripts/install-deps.sh core perf
    cmake --preset perf >/dev/null
    cmake --build --preset perf -j "$(nproc)"
    ;;
esac
# The shared computation: whole morlant-cli processes of the native build,
# and of an earlier commit's build (in a worktree under build/) when asked.
parallel_pairs() {
  scripts/install-deps.sh core
  cmake --preset native >/dev/null
  cmake --build --preset native -j "$(nproc)" --target morlant-cli
  local pairs=${1:-5}
  shift || true
  local digits=("$@")
  [ ${#digits[@]} -gt 0 ] || digits=(1048576 8388608)
  local cli=build/native/cli/morlant-cli
  python3 perf/parallel_pairs.py --pairs "$pairs" --digits "${digits[@]}" \
    --a "$cli --parallel 1" --b "$cli --parallel 2"
  if [ -n "${MORLANT_BEFORE:-}" ]; then
    local before=build/before-$MORLANT_BEFORE
    [ -d "$before" ] || git worktree add --detach "$before" "$MORLANT_BEFORE"
    (cd "$before" && cmake --preset native >/dev/null && cmake --build --preset native -j "$(nproc)" --target morlant-cli)
    python3 perf/parallel_pairs.py --pairs "$pairs" --digits "${digits[@]}" \
      --a "$before/build/native/cli/morlant-cli" --b "$cli --parallel 1"
  fi
}

case "$what" in
  fft) build/perf/perf/fft_vs_fftw "$@" ;;
  parallel) parallel_pairs "$@" ;;
  pi) build/perf/perf/pi_vs_mpfr "$@" ;;
  arm64) arm64_estimate ;;
  *) echo "usage: scripts/perf.sh fft|pi|parallel|arm64 [arguments]" >&2; exit 2 ;;
esac
