// A far end at its worst, for the bound on an exchange's length: after each request it sends the
// same pieces again and again, each after its gap, until the tool closes the line, and notes how
// long each exchange held the line, from the request's last byte to the close.
#pragma once

#include "tests/support/pty.h"

#include <atomic>
#include <chrono>
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
    static constexpr double BYTE_TIME = 11.0 / 19200; // one byte at 19200 baud with parity

    explicit EndlessLine(std::vector<Piece> pieces) : pieces(std::move(pieces)) {
        if (pty.ok()) thread = std::thread([this] { serve(); });
    }
    ~EndlessLine() {
        stopping = true;
        if (thread.joinable()) thread.join();
    }
    bool ok() const { return pty.ok(); }
    const char *path() const { return pty.path(); }
    // Seconds each exchange so far held the line, in order.
    std::vector<double> holds() const {
        std::lock_guard<std::mutex> guard(lock);
        return held;
    }

private:
    using Clock = std::chrono::steady_clock;
    void serve() {
        while (!stopping) {
            if (pty.read(1, 0.01) != "\x03") continue; // a request ends with its ETX
            const Clock::time_point start = Clock::now();
            // the pieces until the device side is closed, watched every millisecond
            for (size_t next = 0; !stopping; next = (next + 1) % pieces.size()) {
                const auto due = Clock::now() + std::chrono::duration<double>(pieces[next].gap);
                while (!pty.deviceClosed() && Clock::now() < due)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                if (pty.deviceClosed()) break;
                pty.write(pieces[next].bytes);
            }
            std::lock_guard<std::mutex> guard(lock);
            held.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        }
    }

    TestPty pty;
    std::vector<Piece> pieces;
    mutable std::mutex lock;
    std::vector<double> held;
    std::atomic<bool> stopping{false};
    std::thread thread;
};
