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
# In a network namespace of its own where root can make one, as the Wine tests run, so that its servers
# on 127.0.0.1 meet no one else's.
exec bash tests/isolated.sh /usr/bin/python3 bench/run_bench.py "$@"
