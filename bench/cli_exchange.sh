#!/usr/bin/env bash
# The command line against the chamber simulator on a pseudo-terminal, side by side in one run,
# each timed as a whole process the way a test rig's script calls it:
#   - one exchange: kelvra-ascii --send A0; a pyserial script that reads up to the end byte
#     without a fixed wait (bench/pyserial_exchange.py); and the tool as it was before it read
#     at once and left Qt Widgets out of the command line (BASELINE, built from git), all
#     alternating. Goal: the tool's median at most the script's.
#   - a bus scan of addresses 1..32 with one chamber at --timeout 100. Goal: under 4 s.
#   - which Qt libraries a command-line run of the tool has mapped (/proc/PID/maps).
# Not part of ctest. Builds release builds in build/bench and build/bench-baseline.
# Usage: bench/cli_exchange.sh [RUNS [BASELINE]], default 20 runs and the revision a458348.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
baseline=${2:-a458348}

scripts/deps python3-serial
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench -j2 --target kelvra-ascii kelvra-chamber >/dev/null
# the baseline in a worktree of its own, built once per revision
base=build/bench-baseline
if [ "$(cat "$base/revision" 2>/dev/null)" != "$(git rev-parse "$baseline")" ]; then
    if [ -e "$base/source/.git" ]; then git worktree remove --force "$base/source"; fi
    rm -rf "$base"
    git worktree add --detach "$base/source" "$baseline" >/dev/null
    cmake -S "$base/source" -B "$base/build" -DCMAKE_BUILD_TYPE=Release -DKELVRA_TESTS=OFF >/dev/null
    cmake --build "$base/build" -j2 --target kelvra-ascii >/dev/null
    git rev-parse "$baseline" >"$base/revision"
fi

coproc CHAMBER { exec build/bench/sim/kelvra-chamber --pty; }
chamber_pid=$CHAMBER_PID
trap 'kill "$chamber_pid" 2>/dev/null || true; wait "$chamber_pid" 2>/dev/null || true' EXIT
read -r -t 10 line <&"${CHAMBER[0]}"
echo "chamber 1 on $line; $runs runs each, alternating; baseline $(git rev-parse --short "$baseline")"

# Debian's own interpreter, where python3-serial is installed
/usr/bin/python3 - "$runs" "$line" build/bench/ui/kelvra-ascii "$base/build/ui/kelvra-ascii" \
    bench/pyserial_exchange.py <<'PY'
import re, statistics, subprocess, sys, time

runs, line, tool, old, script = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]
mapped = ["--map", "com1=" + line]
commands = {
    "kelvra-ascii --send A0": [tool, "--send", "A0"] + mapped,
    "pyserial, no wait": ["/usr/bin/python3", script, line],
    "baseline --send A0": [old, "--send", "A0"] + mapped,
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
medians = {name: statistics.median(values) for name, values in times.items()}
print("one exchange, whole process:")
for name, values in times.items():
    print(f"  {name:24} median {medians[name] * 1000:6.1f} ms  min {min(values) * 1000:6.1f}  "
          f"max {max(values) * 1000:6.1f} ms")
ratio = medians["kelvra-ascii --send A0"] / medians["pyserial, no wait"]
print(f"  ratio tool / pyserial: {ratio:.2f} (goal: at most 1.00); "
      f"tool / baseline: {medians['kelvra-ascii --send A0'] / medians['baseline --send A0']:.2f}")

scans = []
for _ in range(5):
    start = time.perf_counter()
    run = subprocess.run([tool, "--scan", "--timeout", "100"] + mapped, capture_output=True,
                         text=True)
    scans.append(time.perf_counter() - start)
    if run.returncode != 0 or not run.stdout.startswith("1\t"):
        sys.exit(f"scan failed ({run.returncode}): {run.stdout}{run.stderr}")
print(f"scan of 1..32, one chamber, --timeout 100: median {statistics.median(scans):.2f} s  "
      f"min {min(scans):.2f}  max {max(scans):.2f} s (goal: under 4 s)")

# what a command-line run has mapped, read while it waits on a silent address
probe = subprocess.Popen([tool, "--scan", "--from", "2", "--to", "2", "--timeout", "1000"] +
                         mapped, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
time.sleep(0.5)
with open(f"/proc/{probe.pid}/maps") as maps:
    libraries = sorted({m.group(1) for m in re.finditer(r"/(libQt6\w+)\.so", maps.read())})
probe.wait()
print("Qt libraries mapped by a command-line run:", ", ".join(libraries))
ok = ratio <= 1.0 and statistics.median(scans) < 4.0
print("goals met" if ok else "a goal was missed")
sys.exit(0 if ok else 1)
PY
