#!/usr/bin/env bash
# Builds the Windows test tree and runs the benchmark; prints figures, asserts nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset windows-test >/dev/null
cmake --build --preset windows-test -j"$(nproc)"
exec /usr/bin/python3 bench/run_bench.py "$@"
