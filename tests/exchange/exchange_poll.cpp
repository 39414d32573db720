// One port's polling in virtual time, with a fake exchange: the grid and the order of the
// chambers, several commands per chamber, a sweep longer than the interval, the back-off of a
// chamber that stopped answering and its return without a burst, and the turn limit.
#include "exchange/poll.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Asked {
    double ms;
    int address;
    std::string command;
    bool operator==(const Asked &other) const {
        return std::abs(ms - other.ms) < 1e-6 && address == other.address &&
               command == other.command;
    }
};

std::ostream &operator<<(std::ostream &out, const Asked &a) {
    return out << a.ms << " " << a.address << " " << a.command;
}

// A port whose exchanges each take exchangeMs of virtual time (silentMs when nothing answers).
struct VirtualPort {
    double now = 0;
    long long endMs;
    long long exchangeMs, silentMs;
    std::function<bool(int address, long long ms)> answers;
    std::vector<Asked> asked;
    std::vector<Asked> series; // when a series began (address 1) or ended (0), and its port
};

double virtual_now(void *port) {
    return static_cast<VirtualPort *>(port)->now;
}

int virtual_wait(double ms, void *context) {
    auto *port = static_cast<VirtualPort *>(context);
    if (ms > port->now) port->now = ms;
    return port->now < (double)port->endMs;
}

int virtual_exchange(const LabChamber *chamber, int command, void *context) {
    auto *port = static_cast<VirtualPort *>(context);
    port->asked.push_back({port->now, chamber->address, chamber->command[command]});
    // the answers change at whole milliseconds, so the truncated time tells the same
    const bool answered = port->answers(chamber->address, (long long)port->now);
    port->now += (double)(answered ? port->exchangeMs : port->silentMs);
    return answered;
}

void virtual_series(int port, int holding, void *context) {
    auto *virtualPort = static_cast<VirtualPort *>(context);
    virtualPort->series.push_back({virtualPort->now, holding, "com" + std::to_string(port)});
}

LabChamber chamber(int address, std::vector<std::string> commands = {"A0"}, int intervalMs = 2000) {
    LabChamber c;
    lab_chamber_init(&c, 1, address);
    c.commands = 0;
    for (const std::string &command : commands)
        snprintf(c.command[c.commands++], LAB_COMMAND_SIZE, "%s", command.c_str());
    c.intervalMs = intervalMs;
    return c;
}

std::vector<Asked> run(std::vector<LabChamber> chambers, long long endMs, long long exchangeMs,
                       std::function<bool(int, long long)> answers = nullptr,
                       long long turnLimit = 0, long long silentMs = 500,
                       std::vector<Asked> *series = nullptr) {
    PortPoll poll;
    port_poll_begin(&poll, 0);
    poll.turnLimit = turnLimit;
    for (const LabChamber &c : chambers) port_poll_add(&poll, &c);
    VirtualPort port;
    port.endMs = endMs;
    port.exchangeMs = exchangeMs;
    port.silentMs = silentMs;
    port.answers = answers ? answers : [](int, long long) { return true; };
    const PollHooks hooks = {virtual_now, virtual_wait, virtual_exchange, virtual_series, &port};
    port_poll_run(&poll, &hooks);
    if (series) *series = port.series;
    return port.asked;
}

const double Q = POLL_QUIET_MS;

TEST(Poll, ChambersTakeTheGridInListOrderOneExchangeAtATime) {
    const struct {
        const char *name;
        std::vector<LabChamber> chambers;
        long long endMs, exchangeMs, turnLimit;
        std::vector<Asked> expected;
    } cases[] = {
        {"two chambers, a sweep every 2 s",
         {chamber(3), chamber(7)},
         4200,
         100,
         0,
         {{0, 3, "A0"},
          {100 + Q, 7, "A0"},
          {2000, 3, "A0"},
          {2100 + Q, 7, "A0"},
          {4000, 3, "A0"},
          {4100 + Q, 7, "A0"}}},
        {"a chamber's commands in a row, before the next chamber",
         {chamber(1, {"A0", "A1"}), chamber(2)},
         2000,
         50,
         0,
         {{0, 1, "A0"}, {50 + Q, 1, "A1"}, {100 + 2 * Q, 2, "A0"}}},
        {"a sweep longer than the interval lets grid points go, never queues them",
         {chamber(1), chamber(2), chamber(3)},
         4800,
         900,
         0,
         {{0, 1, "A0"},
          {900 + Q, 2, "A0"},
          {1800 + 2 * Q, 3, "A0"},
          {2700 + 3 * Q, 1, "A0"},
          {3600 + 4 * Q, 2, "A0"},
          {4500 + 5 * Q, 3, "A0"}}},
        {"intervals of their own",
         {chamber(1, {"A0"}, 1000), chamber(2, {"A0"}, 3000)},
         3000,
         10,
         0,
         {{0, 1, "A0"}, {10 + Q, 2, "A0"}, {1000, 1, "A0"}, {2000, 1, "A0"}}},
        {"a turn limit ends the port",
         {chamber(1), chamber(2)},
         1000000,
         10,
         2,
         {{0, 1, "A0"}, {10 + Q, 2, "A0"}, {2000, 1, "A0"}, {2010 + Q, 2, "A0"}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(run(c.chambers, c.endMs, c.exchangeMs, nullptr, c.turnLimit), c.expected);
    }
}

// Chamber 2 is silent from 10 s to 70 s. After three missed turns it is asked every 30 s on its
// grid, with its first command only; once it answers, it keeps its 2 s grid at once, with no burst
// of the polls it missed; chamber 1 keeps its grid throughout.
// A sweep holds the port as one series (its device stays open); the port is free between sweeps.
TEST(Poll, ExchangesThatFollowOneAnotherHoldThePortAsOneSeries) {
    std::vector<Asked> series;
    run({chamber(3), chamber(7)}, 4200, 100, nullptr, 0, 500, &series);
    EXPECT_EQ(series, (std::vector<Asked>{{0, 1, "com1"},
                                          {200 + Q, 0, "com1"},
                                          {2000, 1, "com1"},
                                          {2200 + Q, 0, "com1"},
                                          {4000, 1, "com1"},
                                          {4200 + Q, 0, "com1"}}));
}

TEST(Poll, ASilentChamberIsAskedEvery30sAndComesBackWithoutABurst) {
    const auto answers = [](int address, long long ms) {
        return address != 2 || ms < 10000 || ms >= 70000;
    };
    const std::vector<Asked> asked =
        run({chamber(1), chamber(2, {"A0", "A1"})}, 90000, 20, answers, 0, 500);

    std::vector<double> silent, first;
    for (const Asked &a : asked) {
        if (a.address == 1) first.push_back(a.ms);
        if (a.address == 2 && a.ms >= 10000 && a.ms < 76000) silent.push_back(a.ms);
    }
    // 10, 12, 14 s: misses (each A0 and A1); then 44 s and 74 s (A0 only): 30 s after the turn
    // that made it three
    const std::vector<double> expected = {
        10000 + 20 + Q,           10000 + 20 + 500 + 2 * Q, 12000 + 20 + Q,
        12000 + 20 + 500 + 2 * Q, 14000 + 20 + Q,           14000 + 20 + 500 + 2 * Q,
        44000 + 20 + Q,           74000 + 20 + Q,           74000 + 20 + 20 + 2 * Q};
    ASSERT_EQ(silent.size(), expected.size());
    for (size_t i = 0; i < silent.size(); i++) EXPECT_NEAR(silent[i], expected[i], 1e-6) << i;
    int afterReturn = 0;
    for (const Asked &a : asked) afterReturn += a.address == 2 && a.ms > 74100 && a.command == "A0";
    EXPECT_EQ(afterReturn, 7) << "76 s .. 88 s on its grid, one turn each";
    for (size_t i = 1; i < first.size(); i++)
        EXPECT_LE(first[i] - first[i - 1], 2000 + 20 + 500 + 2 * Q) << "at " << first[i];
}

} // namespace
