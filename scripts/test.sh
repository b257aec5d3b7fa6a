#!/usr/bin/env bash
# Runs every test: installs what is missing, builds both trees, then the unit tests and the Wine tests.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset windows-test >/dev/null
cmake --build --preset windows-test -j"$(nproc)"
# Two more builds of the installer alone: an https manifest address, and a test key built in.
cmake --preset windows-https >/dev/null
cmake --build --preset windows-https -j"$(nproc)"
bash scripts/make-test-key.sh build/windows-signed/test-key
cmake --preset windows-signed >/dev/null
cmake --build --preset windows-signed -j"$(nproc)"
cmake --preset native -DQELMORA_WINDOWS_BUILD_DIR="$PWD/build/windows-test" >/dev/null
cmake --build --preset native -j"$(nproc)"

rm -rf build/test-artifacts
cd build/native
ctest --output-on-failure "$@"
