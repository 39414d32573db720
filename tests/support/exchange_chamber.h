// A chamber whose every answer the test scripts, on a pseudo-terminal that the tool opens as
// its serial device. A thread of its own reads the line, so it answers while the tool's thread
// is blocked inside an exchange.
#pragma once

#include "tests/support/pty.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using SteadyTime = std::chrono::steady_clock::time_point;

class ScriptedChamber {
public:
    // The bytes to send back for the index-th request (from 0), given the request frame as it
    // came (STX to ETX); an empty answer is silence.
    using Answer = std::function<std::string(const std::string &request, int index)>;

    // The answer in parts, each with its delay after the request's ETX (for the first) or after
    // the part before: a chamber that takes its time, or that trails its answer with more bytes.
    using TimedAnswer =
        std::function<std::vector<std::pair<double, std::string>>(const std::string &request)>;

    explicit ScriptedChamber(Answer answer = echo);
    explicit ScriptedChamber(TimedAnswer timed);
    ~ScriptedChamber(); // stops the thread, closes the line
    ScriptedChamber(const ScriptedChamber &) = delete;
    ScriptedChamber &operator=(const ScriptedChamber &) = delete;

    bool ok() const { return pty.ok(); }
    const char *path() const { return pty.path(); }

    // Every byte the tool has written to the line so far.
    std::string line() const;
    // The request frames seen so far, when the ETX of each arrived (before it was answered),
    // and when the last byte of each answer was written.
    std::vector<std::string> requests() const;
    std::vector<SteadyTime> arrived() const;
    std::vector<SteadyTime> answered() const;
    // Waits (without running the event loop) until count requests have come; false on time-out.
    bool wait_requests(size_t count, double seconds) const;

    // A valid frame of payload from address, built by the tool's builder.
    static std::string frame(const std::string &payload, int address = 1);
    // Answers each request with a frame of its own payload from its own address.
    static std::string echo(const std::string &request, int index);

private:
    void serve();

    TestPty pty;
    Answer answer;
    mutable std::mutex lock;
    std::string received;
    std::vector<std::string> frames;
    std::vector<SteadyTime> arrivals;
    std::vector<SteadyTime> times;
    std::atomic<bool> stopping{false};
    std::thread thread;
};
