#!/usr/bin/env bash
# Wall time of one command-line exchange (kelvra-ascii --send A0) against the chamber simulator
# on a pseudo-terminal, and side by side, alternating in the same run, a minimal pyserial script
# doing the same exchange (bench/pyserial_exchange.py). Both are timed as whole processes, the
# way a test rig's script calls them; the goal for the tool is a median within 60 ms of the
# protocol's own 0.5 s wait. Not part of ctest.
# Usage: bench/cli_exchange.sh [RUNS], default 20. Builds a release build in build/bench.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}

scripts/deps python3-serial
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench -j2 --target kelvra-ascii kelvra-chamber >/dev/null

coproc CHAMBER { exec build/bench/sim/kelvra-chamber --pty; }
chamber_pid=$CHAMBER_PID
trap 'kill "$chamber_pid" 2>/dev/null || true; wait "$chamber_pid" 2>/dev/null || true' EXIT
read -r -t 10 line <&"${CHAMBER[0]}"
echo "chamber on $line; $runs runs each, alternating"

# Debian's own interpreter, where python3-serial is installed
/usr/bin/python3 - "$runs" "$line" build/bench/ui/kelvra-ascii bench/pyserial_exchange.py <<'PY'
import statistics, subprocess, sys, time

runs, line, tool, script = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
commands = {
    "kelvra-ascii --send": [tool, "--send", "A0", "--map", "com1=" + line],
    "pyserial script": ["/usr/bin/python3", script, line],
}
times = {name: [] for name in commands}
for _ in range(runs):
    for name, command in commands.items():
        start = time.perf_counter()
        run = subprocess.run(command, capture_output=True, text=True)
        elapsed = time.perf_counter() - start
        if run.returncode != 0 or run.stderr:
            sys.exit(f"{name} failed ({run.returncode}): {run.stdout}{run.stderr}")
        times[name].append(elapsed)
for name, values in times.items():
    median = statistics.median(values)
    print(f"{name:20} median {median * 1000:6.1f} ms  (over the 0.5 s wait: "
          f"{(median - 0.5) * 1000:5.1f} ms)  min {min(values) * 1000:6.1f}  "
          f"max {max(values) * 1000:6.1f} ms")
PY
