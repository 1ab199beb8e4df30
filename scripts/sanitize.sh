#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the whole tree with AddressSanitizer and UndefinedBehaviorSanitizer
# (preset "sanitize") and runs the ctest suite, end-to-end tests excepted,
# under a virtual X server. Extra arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j"$(nproc)"
export ASAN_OPTIONS="detect_leaks=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan-suppressions.txt:${LSAN_OPTIONS:-}"
xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" \
    ctest --preset sanitize -j"$(nproc)" "$@"
