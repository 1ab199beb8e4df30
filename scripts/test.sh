#!/usr/bin/env bash
# The test command: installs what is missing, configures, builds and runs
# every test through ctest under a virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"
xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" \
    ctest --preset default -j"$(nproc)" "$@"
