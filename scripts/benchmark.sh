#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds morlant-cli and runs the standard
# benchmark (5 computations of pi to 8,388,608 digits). Extra arguments go to
# morlant-cli (see morlant-cli --help).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh core
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target morlant-cli
exec build/native/cli/morlant-cli "$@"
