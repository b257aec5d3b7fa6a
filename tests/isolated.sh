#!/usr/bin/env bash
# Runs one test module in a network namespace of its own: its servers listen on the fixed ports the test builds
# fetch from (127.0.0.1:18480 …) without meeting another module's, so that modules run side by side. Where no
# namespace can be made (not root), the module runs as it is and CTest runs such modules one at a time.
set -euo pipefail
if [[ ${QELMORA_NETNS:-} != inside ]] && unshare --net true 2>/dev/null; then
    exec unshare --net env QELMORA_NETNS=inside bash "$0" "$@"
fi
if [[ ${QELMORA_NETNS:-} == inside ]]; then
    ip link set lo up
fi
exec "$@"
