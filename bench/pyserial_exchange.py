#!/usr/bin/python3
"""One exchange with pyserial, for comparison with kelvra-ascii --send: open the line at
19200 8O1, write the A0 frame for chamber 1, read the answer up to its end byte, close.
Usage: pyserial_exchange.py DEVICE [--wait] [--time] [--count N] [--no-flush]. DEVICE may be a
pyserial URL such as rfc2217://127.0.0.1:4001. Without --wait it reads at once (the answer may
take until 1.0 s after the write, as in the tool); with --wait it first sleeps 0.5 s, as the
window's Enter does. Prints the answer in hex, with --time also the milliseconds from the flush of
the input to the answer's end (the exchange without the open), the median of --count exchanges
on the one open line; --no-flush leaves the flush out. Exit 1 without an answer.

A pseudo-terminal has no parity bits: Linux drops the parity enable but keeps the odd flag,
and a line left so (pyserial does not restore settings on close) refuses every later request
for odd parity. On a pseudo-terminal the script therefore opens the line without parity.
ser2net in front of a pseudo-terminal does not acknowledge the modem-line requests pyserial
makes on opening, which it is told to ignore."""
import os
import sys
import time

import serial

FRAME = bytes([0x02, 0x81, 0xC1, 0xB0, 0xF0, 0x03])  # "A0" for chamber 1

device = sys.argv[1]
wait = "--wait" in sys.argv[2:]
if "://" in device:
    # pyserial's RFC 2217 has no write time-out
    line = serial.serial_for_url(device + "?ign_set_control", 19200, bytesize=8, stopbits=1,
                                 timeout=0.5 if wait else 1.0, parity=serial.PARITY_ODD)
else:
    pty = os.path.realpath(device).startswith("/dev/pts/")
    line = serial.Serial(device, 19200, bytesize=8, stopbits=1, timeout=0.5 if wait else 1.0,
                         write_timeout=0.5,
                         parity=serial.PARITY_NONE if pty else serial.PARITY_ODD)
count = int(sys.argv[sys.argv.index("--count") + 1]) if "--count" in sys.argv else 1
times = []
for _ in range(count):
    start = time.perf_counter()
    if "--no-flush" not in sys.argv:
        line.reset_input_buffer()
    line.write(FRAME)
    line.flush()
    if wait:
        time.sleep(0.5)
    answer = line.read_until(b"\x03")
    times.append(time.perf_counter() - start)
line.close()
print(answer.hex(" "))
if "--time" in sys.argv[2:]:
    print(f"{sorted(times)[len(times) // 2] * 1000:.3f}")
sys.exit(0 if answer[:2] == b"\x02\x81" and answer[-1:] == b"\x03" else 1)
