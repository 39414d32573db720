// A chamber whose every answer the test scripts.
#include "tests/support/exchange_chamber.h"

#include "link/link.h"

ScriptedChamber::ScriptedChamber(Answer answer) : answer(std::move(answer)) {
    if (pty.ok()) thread = std::thread([this] { serve(); });
}

ScriptedChamber::ScriptedChamber(TimedAnswer timed)
    : ScriptedChamber([timed, this](const std::string &request, int) {
          for (const auto &[seconds, bytes] : timed(request)) {
              std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
              pty.write(bytes);
          }
          return std::string();
      }) {}

ScriptedChamber::~ScriptedChamber() {
    stopping = true;
    if (thread.joinable()) thread.join();
}

// Collects bytes into frames from STX to ETX and answers each frame as soon as its ETX is in.
void ScriptedChamber::serve() {
    std::string incoming;
    while (!stopping) {
        const std::string byte = pty.read(1, 0.01);
        if (byte.empty()) continue;
        const SteadyTime readAt = std::chrono::steady_clock::now();
        std::lock_guard<std::mutex> guard(lock);
        received += byte;
        if (byte[0] == STX) incoming.clear();
        if (byte[0] == STX || !incoming.empty()) incoming += byte;
        if (byte[0] != ETX || incoming.empty()) continue;

        const std::string reply = answer(incoming, int(frames.size()));
        frames.push_back(incoming);
        incoming.clear();
        if (!reply.empty()) pty.write(reply);
        times.push_back(std::chrono::steady_clock::now());
        arrivals.push_back(readAt); // when the request's ETX was read
    }
}

std::string ScriptedChamber::line() const {
    std::lock_guard<std::mutex> guard(lock);
    return received;
}

std::vector<std::string> ScriptedChamber::requests() const {
    std::lock_guard<std::mutex> guard(lock);
    return frames;
}

std::vector<SteadyTime> ScriptedChamber::arrived() const {
    std::lock_guard<std::mutex> guard(lock);
    return arrivals;
}

std::vector<SteadyTime> ScriptedChamber::answered() const {
    std::lock_guard<std::mutex> guard(lock);
    return times;
}

bool ScriptedChamber::wait_requests(size_t count, double seconds) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (requests().size() < count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::string ScriptedChamber::frame(const std::string &payload, int address) {
    char bytes[FRAME_BUFFER_SIZE];
    const int length = create_framing(payload.c_str(), bytes, address);
    return std::string(bytes, size_t(length));
}

std::string ScriptedChamber::echo(const std::string &request, int) {
    if (request.size() < 4) return "";
    std::string payload;
    for (size_t i = 2; i + 2 < request.size(); i++) payload += char(request[i] & 0x7F);
    return frame(payload, request[1] & 0x7F);
}
