// Test helpers for the chamber simulator: runs kelvra-chamber as a process, talks to it over
// its line, and checks frames by the receiver's rules.
#pragma once

#include <csignal>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// Closes a descriptor on every way out of a test, or before.
struct Descriptor {
    int fd;
    void shut();
    ~Descriptor() { shut(); }
};

// A running kelvra-chamber; stopped with SIGTERM when destroyed.
class SimProcess {
public:
    // Starts the simulator with args and reads the line path from its first line of output.
    // Its standard error goes to a file that stderr_text() reads.
    explicit SimProcess(const std::vector<std::string> &args);
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    bool started() const { return !path_.empty(); }
    const std::string &path() const { return path_; }
    // Sends signal (SIGTERM by default) and waits. Returns the exit status, or -1 when it did
    // not exit normally.
    int stop(int signal = SIGTERM);
    // What the simulator wrote to standard error so far.
    std::string stderr_text() const;

private:
    int pid_ = -1;
    std::string path_;
    std::string stderr_file_;
};

// Runs kelvra-chamber with args to its end (for options that stop it at once). Returns the
// exit status and stores standard output and error.
int run_sim(const std::vector<std::string> &args, std::string *out, std::string *err);

// Opens what the simulator serves, non-blocking: a serial line path, raw, or "tcp://HOST:PORT"
// (an IPv6 HOST in brackets) as a connected socket. Returns the descriptor, -1 on failure.
int open_port(const std::string &path);
// The frame of text for address, built by the tool's own builder.
Bytes frame_of(const std::string &text, int address);
// Writes bytes to fd.
void send_bytes(int fd, const Bytes &bytes);
// Reads what arrives until nothing has come for quiet_ms, or for limit_ms in all.
Bytes read_until_quiet(int fd, int quiet_ms, int limit_ms);
// Sends the frame of text for address and returns what came back.
Bytes exchange(int fd, const std::string &text, int address);

// One answer as it arrived: its bytes, and when the first and the last of them came.
struct TimedAnswer {
    Bytes bytes;
    double first, last; // seconds_now(); 0 when nothing came
};
// Reads from fd until ETX arrives or limit_ms have passed.
TimedAnswer read_answer(int fd, int limit_ms);
// Seconds on a monotonic clock.
double seconds_now();

// The receiver's rules for exactly one frame from address: STX, address | 0x80, body bytes with
// bit 7, ETX, the low seven bits of the XOR of address byte and body clear, nothing more.
// Returns true and the payload (bit 7 cleared) when bytes are such a frame, else false and why.
bool check_frame(const Bytes &bytes, int address, std::string *payload, std::string *why);
// Bytes as "02 81 ...", for messages.
std::string hex(const Bytes &bytes);
