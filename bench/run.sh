#!/usr/bin/env bash
# Builds the Windows test tree and the tools tree, and runs the benchmark; prints figures, asserts nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
source scripts/windows-toolchain.sh
configure_for_wine windows-test
cmake --build --preset windows-test -j"$(nproc)"
cmake --preset tools >/dev/null
cmake --build --preset tools -j"$(nproc)" --target list_speed
exec /usr/bin/python3 bench/run_bench.py "$@"
