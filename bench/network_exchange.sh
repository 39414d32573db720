#!/usr/bin/env bash
# The command line through a device server on loopback, side by side in one run: Debian's ser2net
# in front of the chamber simulator's pseudo-terminal, raw TCP and RFC 2217, and the
# pseudo-terminal itself, each run alternating:
#   - one exchange, kelvra-ascii --send A0 as a whole process, and its round trip (--trace), and
#     bench/pyserial_exchange.py over rfc2217:// and on the pseudo-terminal (the exchange
#     without the open). Goal: the network adds under 2 ms per exchange beyond what ser2net adds
#     to the pyserial script.
#   - what a connection costs: the process's extra time over the pseudo-terminal's less the extra
#     round trip.
#   - one polling run of 100 exchanges over each (--interval 0.1), exchanges per second and the
#     median round trip; a scan of 1..32 through RFC 2217 (--timeout 100).
# Not part of ctest. Builds a release build in build/bench. Usage: bench/network_exchange.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}

scripts/deps python3-serial
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench -j2 --target kelvra-ascii kelvra-chamber >/dev/null

work=$(mktemp -d)
coproc CHAMBER { exec build/bench/sim/kelvra-chamber --pty; }
chamber_pid=$CHAMBER_PID
read -r -t 10 line <&"${CHAMBER[0]}"
raw_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
telnet_port=$((raw_port == 65535 ? raw_port - 1 : raw_port + 1))
cat >"$work/ser2net.yaml" <<YAML
connection: &raw
    accepter: tcp,127.0.0.1,$raw_port
    connector: serialdev,$line,9600n81,local
connection: &telnet
    accepter: telnet(rfc2217),tcp,127.0.0.1,$telnet_port
    connector: serialdev,$line,9600n81,local
YAML
ser2net -n -d -c "$work/ser2net.yaml" >/dev/null 2>&1 &
server_pid=$!
trap 'kill "$server_pid" "$chamber_pid" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do
    ss -ltn | grep -q "127.0.0.1:$telnet_port " && break
    sleep 0.05
done
echo "chamber 1 on $line behind ser2net $(ser2net -v | awk '{print $3}'); $runs runs each, alternating"

/usr/bin/python3 - "$runs" "$line" "$raw_port" "$telnet_port" build/bench/ui/kelvra-ascii \
    bench/pyserial_exchange.py <<'PY'
import re, statistics, subprocess, sys, time

runs, line, raw, telnet, tool, script = sys.argv[1:7]
runs = int(runs)
ports = {"pty": line, "raw": f"tcp://127.0.0.1:{raw}", "rfc2217": f"rfc2217://127.0.0.1:{telnet}"}
whole = {name: [] for name in ports}
rtt = {name: [] for name in ports}
script_times = {"pty": [], "rfc2217": []}

def run(command):
    time.sleep(0.05)  # ser2net frees its line a few ms after a client leaves
    start = time.perf_counter()
    done = subprocess.run(command, capture_output=True, text=True)
    return time.perf_counter() - start, done

for _ in range(runs):
    for name, port in ports.items():
        elapsed, done = run([tool, "--send", "A0", "--trace", "--map", "com1=" + port])
        found = re.search(r"rtt ([0-9.]+) ms", done.stderr)
        if done.returncode != 0 or not found:
            sys.exit(f"{name} failed ({done.returncode}): {done.stdout}{done.stderr}")
        whole[name].append(elapsed * 1000)
        rtt[name].append(float(found.group(1)))
    for name in script_times:
        elapsed, done = run(["/usr/bin/python3", script, ports[name], "--time"])
        if done.returncode != 0:
            sys.exit(f"pyserial {name} failed: {done.stdout}{done.stderr}")
        script_times[name].append(float(done.stdout.split()[-1]))

median = statistics.median
print("kelvra-ascii --send A0, whole process and round trip (end of write to last byte):")
for name in ports:
    print(f"  {name:8} process median {median(whole[name]):6.1f} ms (min {min(whole[name]):.1f}, "
          f"max {max(whole[name]):.1f})   round trip median {median(rtt[name]):6.3f} ms")
print("pyserial_exchange.py, the exchange without the open (flush, write, read to the end byte):")
for name, times in script_times.items():
    print(f"  {name:8} median {median(times):6.3f} ms (min {min(times):.3f}, max {max(times):.3f})")
tool_adds = median(rtt["rfc2217"]) - median(rtt["pty"])
script_adds = median(script_times["rfc2217"]) - median(script_times["pty"])
print(f"RFC 2217 over the pseudo-terminal: the tool +{tool_adds:.3f} ms, pyserial "
      f"+{script_adds:.3f} ms; difference {tool_adds - script_adds:+.3f} ms (goal: under 2 ms)")
for name in ("raw", "rfc2217"):
    connect = median(whole[name]) - median(whole["pty"]) - (median(rtt[name]) - median(rtt["pty"]))
    print(f"what a connection costs, {name}: {connect:.1f} ms (process over the pty's, less the "
          f"round trip's share)")

print("polling, --repeat 100 --interval 0.1:")
for name, port in ports.items():
    elapsed, done = run([tool, "--send", "A0", "--repeat", "100", "--interval", "0.1",
                         "--map", "com1=" + port])
    summary = done.stderr.strip().splitlines()[-1]
    if done.returncode != 0 or "ok 100" not in summary:
        sys.exit(f"polling {name} failed: {done.stderr}")
    print(f"  {name:8} {100 / elapsed:5.2f} exchanges/s over {elapsed:.2f} s; {summary}")

for name in ("pty", "rfc2217"):
    elapsed, done = run([tool, "--scan", "--timeout", "100", "--map", "com1=" + ports[name]])
    if done.returncode != 0 or not done.stdout.startswith("1\t"):
        sys.exit(f"scan {name} failed: {done.stdout}{done.stderr}")
    print(f"scan of 1..32, --timeout 100, {name}: {elapsed:.2f} s; {done.stderr.strip()}")
ok = tool_adds - script_adds < 2.0
print("goal met" if ok else "goal missed")
sys.exit(0 if ok else 1)
PY
