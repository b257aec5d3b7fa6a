#!/usr/bin/env bash
# Builds the Windows test tree and runs the benchmark; prints figures, asserts nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
source scripts/windows-toolchain.sh
configure_for_wine windows-test
cmake --build --preset windows-test -j"$(nproc)"
exec /usr/bin/python3 bench/run_bench.py "$@"
