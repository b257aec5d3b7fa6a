#!/usr/bin/env bash
# Builds the installer against the bundled demo update server and runs it under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset windows-demo >/dev/null
cmake --build --preset windows-demo -j"$(nproc)"
exec /usr/bin/python3 scripts/demo.py "$@"
