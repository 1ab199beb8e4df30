#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds and runs the benchmarks and prints one table: the median of each
# benchmark over the repetitions and its ratio to its baseline measured in the
# same process and run (the floor, or the bare restore for the hotkey load).
# Not part of the test pass or fail. The plug-in benchmarks need Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

repetitions="${1:-10}"
build="${BUILD_DIR:-build/bench}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUNE_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target kestrune-bench-core kestrune-bench-plugin >/dev/null

core=$(mktemp)
plugin=$(mktemp)
trap 'rm -f "$core" "$plugin"' EXIT
options=(--benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true
         --benchmark_out_format=json)
QT_QPA_PLATFORM=offscreen "$build/bench/kestrune-bench-core" "${options[@]}" \
    --benchmark_out="$core" >/dev/null 2>&1
QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME= LIBGL_ALWAYS_SOFTWARE=1 \
    xvfb-run -a -s "-screen 0 1600x1000x24" "$build/bench/kestrune-bench-plugin" "${options[@]}" \
    --benchmark_out="$plugin" >/dev/null 2>&1

python3 - "$core" "$plugin" <<'PY'
import json, re, sys

# name prefix: (baseline, target ratio)
targets = {"ListSnapshots": ("Floor", 1.25), "CheckName": ("Floor", 1.25),
           "Refresh": ("Floor", 1.5), "SaveNew": ("Floor", 6.0),
           "LoadByHotkey": ("BareRestore", 1.5)}

print("| Benchmark (1000 snapshot files) | Median wall ms | Median CPU ms | Baseline | Ratio (wall) | Ratio (CPU) | Target |")
print("|---|---:|---:|---|---:|---:|---:|")
failed = False
for path, label in zip(sys.argv[1:], ("core", "plug-in")):
    runs = json.load(open(path))["benchmarks"]
    median = {re.sub(r"/(real_time|manual_time|iterations:\d+)", "", r["run_name"]): r
              for r in runs if r.get("aggregate_name") == "median"}
    # Baselines first, then the measured benchmarks, each group by name.
    def is_baseline(name):
        return not any(name.startswith(k) for k in targets)
    for name, r in sorted(median.items(), key=lambda item: (not is_baseline(item[0]), item[0])):
        wall, cpu = r["real_time"], r["cpu_time"]
        base, target = next((v for k, v in targets.items() if name.startswith(k)), (None, None))
        if base is None:
            manual = "manual_time" in r["run_name"]
            print("| %s: %s | %.2f | %s | | | | baseline |" % (
                label, name, wall, "n/a" if manual else "%.2f" % cpu))
            continue
        b = median[base]
        ratio = wall / b["real_time"]
        failed |= ratio > target
        # Manual timing covers the timed part only; its CPU time is the whole
        # iteration, waits included, so only wall time compares.
        manual = "manual_time" in r["run_name"] or "manual_time" in b["run_name"]
        cpu_text = "n/a" if manual else "%.2f" % cpu
        cpu_ratio = "n/a" if manual else "%.2f" % (cpu / b["cpu_time"])
        print("| %s: %s | %.2f | %s | %s | %.2f | %s | ≤ %.2f |" % (
            label, name, wall, cpu_text, base, ratio, cpu_ratio, target))
if failed:
    print("\nSome wall-time ratios exceed their targets.")
PY
