// Pseudo-terminal helper for serial integration tests.
#include "tests/support/pty.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

TestPty::TestPty() {
    int slave = -1;
    char name[128];
    if (openpty(&master_, &slave, name, nullptr, nullptr) != 0) {
        master_ = -1;
        return;
    }
    close(slave); // the code under test opens it by its path
    termios raw{};
    tcgetattr(master_, &raw);
    cfmakeraw(&raw);
    tcsetattr(master_, TCSANOW, &raw);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    path_ = name;
}

TestPty::~TestPty() {
    closeMaster();
}

bool TestPty::write(std::string_view bytes) {
    while (!bytes.empty()) {
        pollfd p{master_, POLLOUT, 0};
        if (poll(&p, 1, 1000) <= 0) return false;
        ssize_t n = ::write(master_, bytes.data(), bytes.size());
        if (n < 0) return false;
        bytes.remove_prefix(size_t(n));
    }
    return true;
}

std::string TestPty::read(size_t count, double seconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    std::string got;
    while (got.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{master_, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0) break;
        char buffer[256];
        ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
        if (n > 0) {
            got.append(buffer, size_t(n));
        } else if (p.revents & POLLHUP) {
            // The device side is closed and everything it wrote has been read.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return got;
}

bool TestPty::deviceClosed() const {
    pollfd p{master_, 0, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLHUP) != 0;
}

void TestPty::closeMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
}
