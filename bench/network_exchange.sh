#!/usr/bin/env bash
# The command line through a device server on loopback, side by side in one run: Debian's ser2net
# in front of the chamber simulator's pseudo-terminal, raw TCP and RFC 2217, beside the
# pseudo-terminal itself, each run alternating:
#   - kelvra-ascii --send A0 as a whole process (median of RUNS) and its round trip (--trace);
#     what a connection costs: the process's time over the pseudo-terminal's, less the longer
#     round trip.
#   - one exchange among many on one open line: a scan of 1..32 where all 32 chambers answer,
#     less a scan of address 1 alone, over 31, beside bench/pyserial_exchange.py doing 32
#     exchanges on one open, with
#     and without its flush (pyserial waits for the server's confirmation of a purge by polling
#     every 50 ms). Goal: RFC 2217 adds under 2 ms per exchange to the tool beyond what it adds
#     to the pyserial script.
#   - a polling run of 100 exchanges over each (--interval 0.1) and a scan of 1..32 through RFC
#     2217 with one chamber (--timeout 100).
# Not part of ctest. Builds a release build in build/bench. Usage: bench/network_exchange.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}

scripts/deps python3-serial
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench -j2 --target kelvra-ascii kelvra-chamber >/dev/null

work=$(mktemp -d)
coproc ONE { exec build/bench/sim/kelvra-chamber --pty; }
one_pid=$ONE_PID
read -r -t 10 one <&"${ONE[0]}"
# shellcheck disable=SC2046 # one word per option
build/bench/sim/kelvra-chamber --pty $(printf -- '--address %d ' $(seq 32)) >"$work/all" &
all_pid=$!
for _ in $(seq 100); do
    all=$(head -n 1 "$work/all")
    [ -n "$all" ] && break
    sleep 0.05
done
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
[ "$port" -le 65532 ] || port=40000
cat >"$work/ser2net.yaml" <<YAML
connection: &raw
    accepter: tcp,127.0.0.1,$port
    connector: serialdev,$one,9600n81,local
connection: &telnet
    accepter: telnet(rfc2217),tcp,127.0.0.1,$((port + 1))
    connector: serialdev,$one,9600n81,local
connection: &all
    accepter: telnet(rfc2217),tcp,127.0.0.1,$((port + 2))
    connector: serialdev,$all,9600n81,local
YAML
ser2net -n -d -c "$work/ser2net.yaml" >/dev/null 2>&1 &
server_pid=$!
trap 'kill "$server_pid" "$one_pid" "$all_pid" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do
    ss -ltn | grep -q "127.0.0.1:$((port + 2)) " && break
    sleep 0.05
done
echo "chamber 1 on $one, chambers 1..32 on $all, behind ser2net $(ser2net -v | awk '{print $3}');" \
    "$runs runs each, alternating"

/usr/bin/python3 - "$runs" "$one" "$all" "$port" build/bench/ui/kelvra-ascii \
    bench/pyserial_exchange.py <<'PY'
import re, statistics, subprocess, sys, time

runs, one, all_, port, tool, script = sys.argv[1:7]
runs, port = int(runs), int(port)
ports = {"pty": one, "raw": f"tcp://127.0.0.1:{port}", "rfc2217": f"rfc2217://127.0.0.1:{port + 1}"}
thirty_two = {"pty": all_, "rfc2217": f"rfc2217://127.0.0.1:{port + 2}"}
median = statistics.median

def run(command):
    time.sleep(0.05)  # ser2net frees its line a few ms after a client leaves
    start = time.perf_counter()
    done = subprocess.run(command, capture_output=True, text=True)
    return time.perf_counter() - start, done

whole = {name: [] for name in ports}
rtt = {name: [] for name in ports}
for _ in range(runs):
    for name, address in ports.items():
        elapsed, done = run([tool, "--send", "A0", "--trace", "--map", "com1=" + address])
        found = re.search(r"rtt ([0-9.]+) ms", done.stderr)
        if done.returncode != 0 or not found:
            sys.exit(f"{name} failed ({done.returncode}): {done.stdout}{done.stderr}")
        whole[name].append(elapsed * 1000)
        rtt[name].append(float(found.group(1)))
print("kelvra-ascii --send A0, whole process and round trip (end of write to last byte):")
for name in ports:
    print(f"  {name:8} process median {median(whole[name]):6.1f} ms (min {min(whole[name]):.1f}, "
          f"max {max(whole[name]):.1f})   round trip median {median(rtt[name]):6.3f} ms")
for name in ("raw", "rfc2217"):
    connect = median(whole[name]) - median(whole["pty"]) - (median(rtt[name]) - median(rtt["pty"]))
    print(f"  what a connection costs, {name}: {connect:+.1f} ms (process over the pty's, less the "
          f"longer round trip; the processes' own spread is larger)")

per = {name: [] for name in thirty_two}
script_times = {(name, flush): [] for name in thirty_two for flush in (True, False)}
for _ in range(max(runs // 4, 3)):
    for name, address in thirty_two.items():
        elapsed, done = run([tool, "--scan", "--map", "com1=" + address])
        single, alone = run([tool, "--scan", "--to", "1", "--map", "com1=" + address])
        if "32 answered" not in done.stderr or "1 answered" not in alone.stderr:
            sys.exit(f"scan {name} failed: {done.stderr}{alone.stderr}")
        per[name].append((elapsed - single) * 1000 / 31)
        for flush in (True, False):
            command = ["/usr/bin/python3", script, address, "--time", "--count", "32"]
            elapsed, done = run(command + ([] if flush else ["--no-flush"]))
            if done.returncode != 0:
                sys.exit(f"pyserial {name} failed: {done.stdout}{done.stderr}")
            script_times[(name, flush)].append(float(done.stdout.split()[-1]))
print("one exchange among 32 on one open line (median over the runs):")
for name in thirty_two:
    print(f"  {name:8} kelvra-ascii scan {median(per[name]):6.3f} ms   pyserial with flush "
          f"{median(script_times[(name, True)]):6.3f} ms, without {median(script_times[(name, False)]):6.3f} ms")
tool_adds = median(per["rfc2217"]) - median(per["pty"])
with_flush = median(script_times[("rfc2217", True)]) - median(script_times[("pty", True)])
without = median(script_times[("rfc2217", False)]) - median(script_times[("pty", False)])
print(f"  RFC 2217 adds: to the tool {tool_adds:+.3f} ms, to pyserial {with_flush:+.3f} ms with its "
      f"flush, {without:+.3f} ms without; the tool beyond pyserial without flush "
      f"{tool_adds - without:+.3f} ms (goal: under 2 ms)")

print("polling, --repeat 100 --interval 0.1:")
for name, address in ports.items():
    elapsed, done = run([tool, "--send", "A0", "--repeat", "100", "--interval", "0.1",
                         "--map", "com1=" + address])
    summary = done.stderr.strip().splitlines()[-1]
    if done.returncode != 0 or "ok 100" not in summary:
        sys.exit(f"polling {name} failed: {done.stderr}")
    print(f"  {name:8} {100 / elapsed:5.2f} exchanges/s over {elapsed:.2f} s; {summary}")

for name in ("pty", "rfc2217"):
    elapsed, done = run([tool, "--scan", "--timeout", "100", "--map", "com1=" + ports[name]])
    if done.returncode != 0 or not done.stdout.startswith("1\t"):
        sys.exit(f"scan {name} failed: {done.stdout}{done.stderr}")
    print(f"scan of 1..32, one chamber, --timeout 100, {name}: {elapsed:.2f} s; {done.stderr.strip()}")
ok = tool_adds - without < 2.0
print("goal met" if ok else "goal missed")
sys.exit(0 if ok else 1)
PY
