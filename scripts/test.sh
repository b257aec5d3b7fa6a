#!/usr/bin/env bash
# Runs every test: installs what is missing, builds both trees, then the unit tests and the Wine tests.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
source scripts/windows-toolchain.sh

configure_for_wine windows-test
cmake --build --preset windows-test -j"$(nproc)"
# Two more builds of the installer alone: an https manifest address, and a test key built in.
configure_for_wine windows-https
cmake --build --preset windows-https -j"$(nproc)"
bash scripts/make-test-key.sh build/windows-signed/test-key
configure_for_wine windows-signed
cmake --build --preset windows-signed -j"$(nproc)"
if [[ "$QELMORA_WINE_TOOLCHAIN" != */mingw-i686.cmake ]]; then
    # Wine runs 64-bit builds here: the shipped 32-bit program is still built, so it keeps compiling.
    cmake --preset windows >/dev/null
    cmake --build --preset windows -j"$(nproc)"
fi
cmake --preset native -DQELMORA_WINDOWS_BUILD_DIR="$PWD/build/windows-test" >/dev/null
cmake --build --preset native -j"$(nproc)"
# The publisher's release build of the two tools (the README's walk-through), so that it keeps building.
cmake --preset tools >/dev/null
cmake --build --preset tools -j"$(nproc)"

rm -rf build/test-artifacts
cd build/native
# The Wine modules spend most of their time waiting on windows, servers and time-outs, so more of them run at
# once than there are cores; each has its own prefix, display and network namespace.
ctest --output-on-failure -j"${QELMORA_TEST_JOBS:-$(( $(nproc) * 3 ))}" "$@"
