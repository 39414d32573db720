// Exchanges on different ports run at once on threads of their own; on one port they take turns.
// Two simulated chambers, each answering after 100 ms, are asked by two threads together.
#include "exchange/exchange.h"
#include "link/rs232.h"
#include "tests/support/sim_process.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

const int exchanges_per_thread = 4;

struct Asked {
    ExchangeRecord record;
    long long endMs; // wall clock when exchange() returned
};

long long wall_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A thread's run: "A0" to one chamber on one port, again and again, as a poller asks; in a
// series when asked to, as a poller's sweep that never pauses.
std::vector<Asked> ask(int port, int address, bool series) {
    std::vector<Asked> asked(exchanges_per_thread);
    ExchangeRequest request;
    request_init(&request, port, address, "A0", 1);
    request.readAtOnce = 1;
    request.waitSeconds = 0;
    if (series) port_series_begin(port);
    for (Asked &each : asked) {
        exchange(&request, &each.record);
        each.endMs = wall_ms();
    }
    if (series) port_series_end(port);
    return asked;
}

bool overlap(const Asked &a, const Asked &b) {
    return a.record.wallMs < b.endMs && b.record.wallMs < a.endMs;
}

TEST(Threads, ExchangesOnTwoPortsRunAtOnceAndOnOnePortTakeTurns) {
    int argc = 1;
    char name[] = "exchange_threads";
    char *argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    SimProcess first({"--address", "3", "--delay", "100"});
    SimProcess second({"--address", "5", "--delay", "100"});
    ASSERT_TRUE(first.started() && second.started());
    ASSERT_EQ(MapComPort(1, first.path().c_str()), 0);
    ASSERT_EQ(MapComPort(2, second.path().c_str()), 0);

    const struct {
        const char *name;
        int ports[2], addresses[2];
        bool together; // the two threads' exchanges may overlap
        bool series;   // the first thread holds its port as a series
    } cases[] = {
        {"two ports", {1, 2}, {3, 5}, true, false},
        {"one port, two chambers' addresses", {1, 1}, {3, 4}, false, false},
        {"one port, one thread's series lets the other in", {1, 1}, {3, 4}, false, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // QThreads, as pollers use: the serial layer's objects want a thread of Qt's. The lock
        // hands the results over where a thread checker sees it.
        std::vector<Asked> results[2];
        std::mutex handover;
        std::unique_ptr<QThread> threads[2];
        for (int t = 0; t < 2; t++) {
            threads[t].reset(QThread::create([&, t] {
                std::vector<Asked> asked = ask(c.ports[t], c.addresses[t], c.series && t == 0);
                const std::lock_guard<std::mutex> hold(handover);
                results[t] = std::move(asked);
            }));
            threads[t]->start();
        }
        for (auto &thread : threads) ASSERT_TRUE(thread->wait(30000));
        const std::lock_guard<std::mutex> hold(handover);

        int overlapping = 0;
        for (int t = 0; t < 2; t++) {
            ASSERT_EQ(results[t].size(), size_t(exchanges_per_thread));
            for (const Asked &each : results[t]) {
                const ExchangeRecord &r = each.record;
                EXPECT_EQ(r.port, c.ports[t]);
                EXPECT_EQ(r.address, c.addresses[t]);
                EXPECT_STREQ(r.command, "A0");
                EXPECT_STREQ(r.sentText, "A0");
                EXPECT_EQ(r.trigger, BY_ENTER);
                // a chamber that is not there stays silent; one that is answers its own address
                const bool present = c.addresses[t] != 4;
                EXPECT_EQ(r.answered, present ? 1 : 0) << receive_code_name(r.received.code);
                EXPECT_EQ(r.received.code, present ? RECEIVE_OK : RECEIVE_NO_ANSWER);
                if (present) {
                    EXPECT_EQ(std::string(r.receivedText).substr(0, 3), "A0 ");
                    EXPECT_GE(r.rttMs, 90);
                }
                for (const Asked &other : results[1 - t]) overlapping += overlap(each, other);
            }
        }
        if (c.together) {
            EXPECT_GT(overlapping, 0) << "the two ports' exchanges ran one after the other";
            continue;
        }
        EXPECT_EQ(overlapping, 0) << "two exchanges held one port at once";
        // in the order they asked: a thread that asks again at once waits for the other's turn
        std::vector<std::pair<long long, int>> order;
        for (int t = 0; t < 2; t++)
            for (const Asked &each : results[t]) order.emplace_back(each.record.wallMs, t);
        std::sort(order.begin(), order.end());
        int repeated = 0;
        for (size_t i = 1; i < order.size(); i++)
            repeated += order[i].second == order[i - 1].second;
        if (!c.series) {
            EXPECT_LE(repeated, 1) << "one thread kept the port to itself";
            continue;
        }
        // the other thread, however late it began on a busy machine, got in before the series'
        // last exchange
        EXPECT_LT(results[1].front().record.wallMs, results[0].back().record.wallMs)
            << "the series kept the port to itself";
    }
}

} // namespace
