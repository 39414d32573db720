// A far end at its worst, for the bound on an exchange's length: after each request it sends the
// same pieces again and again, each after its gap, until the tool closes the line, and notes how
// long each exchange held the line.
#pragma once

#include "tests/support/pty.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class EndlessLine {
public:
    struct Piece {
        std::string bytes;
        double gap; // seconds before the piece is sent
    };
    // Bytes at 19200 baud with parity take this long each.
    static constexpr double BYTE_TIME = 11.0 / 19200;

    explicit EndlessLine(std::vector<Piece> pieces);
    ~EndlessLine(); // stops the thread, closes the line
    EndlessLine(const EndlessLine &) = delete;
    EndlessLine &operator=(const EndlessLine &) = delete;

    bool ok() const { return pty.ok(); }
    const char *path() const { return pty.path(); }
    // For each exchange so far, in order: seconds from the request's last byte to the close.
    std::vector<double> holds() const;

private:
    void serve();
    double sendUntilClosed(); // the pieces, until the device side is closed; returns the seconds

    TestPty pty;
    std::vector<Piece> pieces;
    mutable std::mutex lock;
    std::vector<double> held;
    std::atomic<bool> stopping{false};
    std::thread thread;
};
