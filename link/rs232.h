// The serial-port operations the program takes from its platform layer, plus Delay.
//
// The core calls only what is listed here; link/qt/rs232_qt.cpp implements it over Qt SerialPort
// and tests may link a scripted fake instead. Ports are numbered 1 to 20 ("com1" to "com20").
// Every operation on a port returns a negative RS232_* code on failure, and on a port that is
// not open it fails with RS232_NOT_OPEN and no other effect. Every operation returns only once it
// is done. While one waits (a read, a write, Delay), the application's event loop runs on if the
// caller is on its thread, but without the operator's input, which is taken once the wait is
// over: windows repaint and move and timers fire, and what they do must neither start another
// exchange nor touch the port. Elsewhere a wait blocks the thread. Different ports may be used
// on different threads at once; one port is used by one thread at a time. ReturnRS232Err and
// GetRS232ErrorString answer for the calling thread's operations.
// A port may also be a device server on the network, over Qt Network (MapComPort).
#pragma once

enum {
    RS232_MAX_PORTS = 20,
};

// Failure codes; ReturnRS232Err gives the one of the thread's most recent operation, 0 after
// success.
enum {
    RS232_NOT_OPEN = -1,      // the port is not open
    RS232_BAD_PORT = -2,      // port number outside 1..20 or unknown device name
    RS232_NO_DEVICE = -3,     // the device does not exist or is not a serial device
    RS232_PERMISSION = -4,    // the device may not be opened by this user
    RS232_BUSY = -5,          // the device is in use by another program
    RS232_BAD_SETTINGS = -6,  // the device refused the line settings
    RS232_TIMEOUT = -7,       // a write did not complete within the time-out
    RS232_IO = -8,            // the device failed or disappeared while open
    RS232_ALREADY_OPEN = -9,  // the port is open already
    RS232_BAD_ARGUMENT = -10, // count or buffer out of range
};

// Opens a port and sets its line (parity 1 means odd). deviceName is "comN"; the layer maps it
// to the platform's device. One device has one owner, however its path is spelled: it is
// RS232_BUSY while another port, this program or another one holds it, also by a lock file of
// the classic serial programs. Returns 0 or a negative code.
int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize);
// Sets the time-out that bounds every later read and write on the port (1 second until set).
int SetComTime(int port, double timeoutSeconds);
// Discards every received byte that is waiting, the driver's included.
int FlushInQ(int port);
// Discards every byte still waiting for transmission.
int FlushOutQ(int port);
// Writes count bytes; returns when they have left the program, with count or a negative code.
int ComWrt(int port, const char *buffer, int count);
// Reads up to count bytes, waiting at most the time-out; returns the number read (0 after a
// time-out with nothing received) or a negative code.
int ComRd(int port, char *buffer, int count);
// When each byte that the latest ComRd on the port returned reached the program (Timer()
// seconds), oldest first, into times; returns how many it filled, at most count.
int GetComRdTimes(int port, double *times, int count);
// Number of received bytes waiting, those the driver holds included; negative on failure.
int GetInQLen(int port);
// Number of bytes still waiting for transmission; negative on failure. While some are waiting
// it first lets them drain for a moment (10 ms), so that polling it until 0 spins no processor.
int GetOutQLen(int port);
// Closes the port; a port that is not open is left alone.
int CloseCom(int port);
// While keep is nonzero, CloseCom leaves a local serial device open (what waits is discarded)
// and the next OpenComConfig of the port, on the same thread with the same device and line,
// takes it back at once: a poller's series of exchanges on one bus skips the device's open and
// close. Clearing keep closes a device kept so. A network port keeps its connection either way.
// Returns 0 or RS232_BAD_PORT.
int KeepComOpen(int port, int keep);
// The code of the thread's most recent operation: 0 after success, else its negative code.
int ReturnRS232Err(void);
// A readable text for a code; for the most recent failure it names the device and the cause.
const char *GetRS232ErrorString(int errorCode);
// The language of every later text of GetRS232ErrorString: 0 German, else English (the default).
void SetRS232Language(int language);
// The language SetRS232Language chose, for texts of the layers above about a port.
int GetRS232Language(void);

// Returns after the given number of seconds, never sooner; events other than the operator's
// input are processed meanwhile, as in every wait above.
void Delay(double seconds);
// Seconds on a monotonic clock from an arbitrary start; for bounding the length of a receive.
double Timer(void);

// Maps "comN" (1..20) to a device path from now on, e.g. a pseudo-terminal; a relative path is
// taken from the current folder. It may also be a device server's address: "tcp://HOST:PORT"
// (its raw data port) or "rfc2217://HOST:PORT" (Telnet with RFC 2217, which sets the far line to
// OpenComConfig's settings), HOST a name, an IPv4 or a bracketed IPv6 address ("[::1]"); such a
// port keeps its connection between exchanges for a few seconds, and mapping it elsewhere
// closes that. 0 or a negative code (with its text for a malformed address).
int MapComPort(int port, const char *devicePath);
// The device path or network address that "comN" opens: the mapped one, else the platform's own
// name
// (/dev/ttyS<N-1> on Linux, COMN on Windows). Empty for a port number outside 1..20. It is text
// to show, Latin-1 like every text of the core: control characters and characters beyond
// Latin-1 are written as escapes ("\x1b", "\u03a9").
const char *ComPortDevice(int port);
// Whether the device that "comN" opens is there and this user may open it, without opening it:
// 0, RS232_NO_DEVICE (missing, or a serial node with no port behind it), RS232_PERMISSION,
// or RS232_BAD_PORT for a port number outside 1..20. A network address is 0: it is reached by
// an exchange only.
int CheckComPort(int port);

// One serial device of the system, for listing.
struct SystemComPort {
    char path[256];        // "/dev/ttyUSB0"
    char byId[256];        // the stable /dev/serial/by-id name pointing at it, "" if none
    char description[256]; // product, maker, USB ids and serial number as known, "" if none
};
// Fills ports with at most capacity of the system's serial devices, sorted by path; returns the
// number the system has (which may exceed capacity).
int GetSystemComPorts(SystemComPort *ports, int capacity);
