#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the libFuzzer targets (preset "fuzz", clang with ASan and UBSan) and
# runs each for the given number of seconds (default 60), starting from the
# seed corpus. Prints one line per target; exits non-zero on any finding.
# Crash inputs land in build/fuzz/artifacts/.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
targets=(fuzz_read fuzz_settings fuzz_check_name fuzz_restore)

cmake --preset fuzz >/dev/null || exit 1
cmake --build --preset fuzz -j"$(nproc)" --target "${targets[@]}" >/dev/null || exit 1

mkdir -p build/fuzz/artifacts
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=0:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
failed=0
printf '%-16s %12s %10s  %s\n' target executions exec/s result
for target in "${targets[@]}"; do
    work="build/fuzz/corpus-$target"
    log="build/fuzz/$target.log"
    mkdir -p "$work"
    "build/fuzz/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
        -artifact_prefix="build/fuzz/artifacts/$target-" "$work" "fuzz/corpus/$target" >"$log" 2>&1
    status=$?
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
    rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$')
    if [ "$status" -eq 0 ]; then
        result="no findings"
    else
        result="FINDING (exit $status), see $log"
        failed=1
    fi
    printf '%-16s %12s %10s  %s\n' "$target" "${runs:-?}" "${rate:-?}" "$result"
done
exit "$failed"
