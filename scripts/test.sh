#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The test command: installs what is missing, builds, runs a short fuzzing
# smoke of every fuzz target, then every test through ctest under a virtual
# X server (core, dialog, plug-in host, locale and real OBS 30 and 32),
# and last the same suite, real OBS excepted, built with ASan and UBSan.
# Extra arguments go to the main ctest run, e.g. -LE e2e to leave real OBS out.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"
ctest --preset fuzz -j"$(nproc)"

xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" \
    ctest --preset default -j"$(nproc)" "$@"

scripts/sanitize.sh
