#!/usr/bin/env bash
# Builds and runs the benchmarks in build/bench and prints one table: the
# median of each benchmark over the repetitions and its ratio to the floor
# measured in the same process and run. Not part of the test pass or fail.
set -euo pipefail
cd "$(dirname "$0")/.."

repetitions="${1:-10}"
build="${BUILD_DIR:-build/bench}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target kestrune-bench-core >/dev/null

out=$(mktemp)
trap 'rm -f "$out"' EXIT
QT_QPA_PLATFORM=offscreen "$build/bench/kestrune-bench-core" \
    --benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true \
    --benchmark_out="$out" --benchmark_out_format=json >/dev/null 2>&1

python3 - "$out" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
median = {r["run_name"].replace("/real_time", ""): r
          for r in runs if r.get("aggregate_name") == "median"}
targets = {"ListSnapshots": 1.25, "CheckName": 1.25}
floor = median["Floor"]
print("| Benchmark (1000 snapshot files) | Median wall ms | Median CPU ms | Ratio to floor (wall) | Ratio (CPU) | Target |")
print("|---|---:|---:|---:|---:|---:|")
for name, r in median.items():
    wall, cpu = r["real_time"], r["cpu_time"]
    target = next((t for k, t in targets.items() if name.startswith(k)), None)
    print("| %s | %.2f | %.2f | %.2f | %.2f | %s |" % (
        name, wall, cpu, wall / floor["real_time"], cpu / floor["cpu_time"],
        "≤ %.2f" % target if target else "floor" if name == "Floor" else ""))
PY
