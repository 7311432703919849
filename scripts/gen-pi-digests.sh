#!/usr/bin/env bash
# Regenerates bench/pi_digests.inc from MPFR's pi (about 100 million digits:
# several minutes and about 2 GB of memory). Needs libmpfr-dev.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(mktemp -d)
trap 'rm -rf "$build"' EXIT
gcc -O2 -o "$build/gen" scripts/gen_pi_digests.c -lmpfr -lgmp
"$build/gen" > "$build/pi_digests.inc"
mv "$build/pi_digests.inc" bench/pi_digests.inc
