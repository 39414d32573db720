// A pseudo-terminal as the far end of a serial line, for integration tests.
//
// Contract: the test holds the master side, raw (no echo, no line editing, all 8 bits) and
// non-blocking; the code under test opens path() like a serial device, and may close and reopen
// it any number of times while the pty lives. Nothing here keeps the slave side open, so the
// serial layer's own open, exclusive mode and lock file are exercised as on a real device.
#pragma once

#include <string>
#include <string_view>

class TestPty {
public:
    TestPty();  // ok() tells whether a pty could be made
    ~TestPty(); // closes the master side if still open
    TestPty(const TestPty &) = delete;
    TestPty &operator=(const TestPty &) = delete;

    bool ok() const { return master_ >= 0; }
    const char *path() const { return path_.c_str(); }
    // Sends bytes toward the device side; true when all were taken.
    bool write(std::string_view bytes);
    // Collects what the device side has written until `count` bytes are in or `seconds` passed.
    std::string read(size_t count, double seconds);
    // The far end goes away: the device side sees a hang-up, and the path vanishes.
    void closeMaster();
    // Whether no one has the device side open (before its first open, and after its last close).
    bool deviceClosed() const;

private:
    int master_ = -1;
    std::string path_;
};
