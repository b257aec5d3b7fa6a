#!/usr/bin/env bash
# Builds the installer against the bundled demo update server and runs it under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
source scripts/windows-toolchain.sh
configure_for_wine windows-demo
cmake --build --preset windows-demo -j"$(nproc)"
# qelmora-publish writes the sample product's list and the server's copy of it.
cmake --preset native >/dev/null
cmake --build --preset native -j"$(nproc)" --target qelmora-publish
exec /usr/bin/python3 scripts/demo.py "$@"
