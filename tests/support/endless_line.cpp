// The far end that never falls silent.
#include "tests/support/endless_line.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

EndlessLine::EndlessLine(std::vector<Piece> pieces) : pieces(std::move(pieces)) {
    if (pty.ok()) thread = std::thread([this] { serve(); });
}

EndlessLine::~EndlessLine() {
    stopping = true;
    if (thread.joinable()) thread.join();
}

std::vector<double> EndlessLine::holds() const {
    std::lock_guard<std::mutex> guard(lock);
    return held;
}

void EndlessLine::serve() {
    while (!stopping) {
        const std::string byte = pty.read(1, 0.01);
        if (byte != "\x03") continue; // a request ends with its ETX
        const double seconds = sendUntilClosed();
        std::lock_guard<std::mutex> guard(lock);
        held.push_back(seconds);
    }
}

// The close is watched every millisecond, also during the gaps.
double EndlessLine::sendUntilClosed() {
    const Clock::time_point start = Clock::now();
    for (size_t next = 0; !stopping; next = (next + 1) % pieces.size()) {
        const Clock::time_point due =
            Clock::now() + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>(pieces[next].gap));
        do {
            if (pty.deviceClosed())
                return std::chrono::duration<double>(Clock::now() - start).count();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (Clock::now() < due);
        pty.write(pieces[next].bytes);
    }
    return -1;
}
