// A scripted stand-in for link/rs232.h: one serial line on a virtual clock, deterministic and
// without real waiting.
//
// Contract:
// - Time is virtual and starts at 0; Timer reads it and nothing sleeps. Delay advances it;
//   ComRd advances it as far as a real read would wait (until the bytes it needs have arrived,
//   at most the port's time-out); GetOutQLen advances it by FAKE_CALL_TIME, so that a caller
//   polling it cannot spin for ever. ComWrt and the other operations return at once. Once the
//   clock passes an hour the fake aborts the test: whatever waits that long never ends.
// - Scripted bytes arrive at virtual times. Every open port sees the one line; a byte that
//   arrives while no port is open is lost, and a flush discards only bytes that have arrived.
// - Ports behave like rs232.h says: RS232_NOT_OPEN and no other effect on a port not open,
//   ReturnRS232Err gives the code of the most recent port operation.
// - KeepComOpen is logged ("KeepComOpen 1 1") and changes nothing: every CloseCom closes.
// - GetComRdTimes gives the scripted arrival time of each byte the latest ComRd returned.
// - GetRS232ErrorString(code) gives fake_rs232_text(code), in every language.
// - Each port operation and Delay is logged by name with its port ("ComRd 1", "Delay 0.5").
// - MapComPort and ComPortDevice keep a mapping; unmapped ports read "fake:comN".
// - CheckComPort gives the code of fake_rs232_fail_opens (0 by default); GetSystemComPorts
//   lists nothing.
#pragma once

#include <limits>
#include <string>
#include <string_view>
#include <vector>

// Time one byte takes on the line at 19200 baud with 8 data bits, parity and one stop bit.
inline constexpr double FAKE_BYTE_TIME = 11.0 / 19200;
inline constexpr double FAKE_CALL_TIME = 0.001;
inline constexpr double FAKE_NEVER = std::numeric_limits<double>::infinity();

// Everything back to the start: ports closed, clock at 0, no script, logs and mappings empty.
void fake_rs232_reset();
// Bytes arrive on the line, the first at `at`, the others `gap` seconds apart.
void fake_rs232_arrive(double at, std::string_view bytes, double gap = FAKE_BYTE_TIME);
// From `from` on, `byte` arrives every `gap` seconds, without end.
void fake_rs232_noise(double from, double gap, unsigned char byte);
// Every later ComWrt writes at most `bytes` bytes and returns that count (-1: all again).
void fake_rs232_limit_writes(int bytes);
// Every later OpenComConfig fails with code (0: opens succeed again).
void fake_rs232_fail_opens(int code);
// From `at` on the device is gone: operations on an open port fail with RS232_IO and opens
// with RS232_NO_DEVICE.
void fake_rs232_unplug(double at);
// GetOutQLen reports `bytes` waiting until the virtual time `until` (FAKE_NEVER: for ever).
void fake_rs232_output_pending(int bytes, double until);

double fake_rs232_now();
bool fake_rs232_is_open(int port);
// Every byte ComWrt wrote, in order, on any port.
const std::string &fake_rs232_written();
// The log of operations, and how many entries begin with `operation` ("FlushInQ").
const std::vector<std::string> &fake_rs232_calls();
int fake_rs232_count(std::string_view operation);
std::string fake_rs232_text(int code);
