// What publishing to MQTT costs an exchange, and whether a local broker takes 1,000 exchange
// messages a second without loss.
//
// (a) Side by side in one run, on the real panel, the Qt serial layer and a scripted chamber on
//     a pseudo-terminal: Enter's exchange (reading at once, as the command line's) with
//     publishing off, with a live mosquitto on loopback, and with that broker stopped. For each:
//     the exchange's median and longest time, the publisher's own share of it (the time its
//     reader of the record takes), and the longest gap of a 1 ms heartbeat timer beside the
//     exchanges (the window's stall). Goal: publishing adds under 0.1 ms to the median exchange.
// (b) Records handed to publishing at 1,000 a second for SECONDS seconds, each an exchange
//     message and a retained value; a subscriber counts what arrives. Goal: no exchange message
//     lost.
//
// Build and run by hand (offscreen unless a platform is chosen):
//   cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release
//   cmake --build build/bench --target mqtt_bench
//   build/bench/bench/mqtt_bench [EXCHANGES [SECONDS]]       (default 400 and 10)
// Exits 1 when a goal is missed.
#include "link/rs232.h"
#include "mqtt/mqtt.h"
#include "tests/mqtt/broker.h"
#include "tests/support/answer_record.h"
#include "tests/support/exchange_window.h"
#include "ui/ascii.h"
#include "ui/exchange_cycle.h"
#include "ui/program.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double longest(const std::vector<double> &values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// Readers added before and after the publisher's: the time between them is its share.
Clock::time_point beforePublisher;
std::vector<double> *shares;
void mark_before(const ExchangeRecord *, void *) {
    beforePublisher = Clock::now();
}
void mark_after(const ExchangeRecord *, void *) {
    shares->push_back(ms(beforePublisher, Clock::now()));
}

struct Result {
    std::vector<double> exchanges, shares;
    double stall = 0;
};

constexpr int ROUNDS = 5;

// An exchange of the window's, as Enter makes it but reading the answer the moment it is in.
void window_exchange() {
    static ExchangeRequest request;
    static ExchangeRecord record;
    read_panel_request(&request, "A0", BY_ENTER);
    request.readAtOnce = 1;
    exchange(&request, &record);
    show_answer(&record);
    publish_exchange(&record);
}

// Runs count exchanges by Enter, one every 5 ms from the event loop, beside a 1 ms heartbeat,
// and adds them to *result; mark_before and mark_after are readers already.
void measure(int count, Result *into) {
    Result result;
    shares = &result.shares;
    QEventLoop loop;
    Clock::time_point lastBeat = Clock::now();
    QTimer heartbeat, next;
    heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        result.stall = std::max(result.stall, ms(lastBeat, now));
        lastBeat = now;
    });
    QObject::connect(&next, &QTimer::timeout, [&] {
        const auto start = Clock::now();
        window_exchange();
        result.exchanges.push_back(ms(start, Clock::now()));
        if (int(result.exchanges.size()) >= count) loop.quit();
    });
    heartbeat.start(1);
    next.start(5);
    lastBeat = Clock::now();
    loop.exec();
    into->exchanges.insert(into->exchanges.end(), result.exchanges.begin(), result.exchanges.end());
    into->shares.insert(into->shares.end(), result.shares.begin(), result.shares.end());
    into->stall = std::max(into->stall, result.stall);
}

std::string answer(const std::string &, int) {
    return ScriptedChamber::frame("A0 023.5 025.0");
}

} // namespace

int main(int argc, char *argv[]) {
    const int count = argc > 1 ? std::max(10, std::atoi(argv[1])) : 400;
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ui_init();
    ScriptedChamber chamber(answer);
    Broker broker;
    if (!chamber.ok() || MapComPort(1, chamber.path()) != 0 || !broker.running()) {
        std::fputs("mqtt_bench: no pseudo-terminal or no broker\n", stderr);
        return 1;
    }
    ui_load_main(0);
    SetCtrlVal(main_panel, TOGGLEBUTTON, 0);
    SuspendTimerCallbacks();
    SetCtrlVal(main_panel, SEND_STRING, "A0");

    MqttSettings settings{};
    std::snprintf(settings.url, sizeof settings.url, "%s", broker.url().c_str());
    std::snprintf(settings.prefix, sizeof settings.prefix, "bench");
    MqttProblem problem;
    std::printf("(a) %d exchanges each, ms        exchange median  max   publisher median  max"
                "    longest heartbeat gap\n",
                count);
    // In rounds, so that the load of a busy machine falls on the three alike. The publisher's
    // reader, when on, comes between the two marks.
    Result off, live, away;
    long long waiting = 0, dropped = 0, left = 0;
    const int before = add_exchange_listener(mark_before, nullptr);
    for (int round = 0; round < ROUNDS; round++) {
        int after = add_exchange_listener(mark_after, nullptr);
        measure(count / ROUNDS, &off);
        remove_exchange_listener(after);
        if (start_publishing(&settings, &problem) != 0) return 1;
        after = add_exchange_listener(mark_after, nullptr);
        wait_for(5, [] {
            MqttStatus now;
            return publishing_status(&now) && now.state == MQTT_CONNECTED;
        });
        measure(count / ROUNDS, &live);
        broker.stop();
        measure(count / ROUNDS, &away);
        remove_exchange_listener(after);
        MqttStatus status;
        publishing_status(&status);
        waiting += status.waiting;
        broker.start();
        wait_for(20, [] {
            MqttStatus now;
            return publishing_status(&now) && now.state == MQTT_CONNECTED && now.waiting == 0;
        });
        publishing_status(&status);
        dropped += status.dropped;
        left += stop_publishing(2000, 3000, nullptr);
    }
    remove_exchange_listener(before);

    const struct {
        const char *name;
        const Result &result;
    } rows[] = {{"publishing off", off}, {"live broker", live}, {"broker stopped", away}};
    for (const auto &row : rows)
        std::printf("    %-30s %8.3f %8.3f %12.4f %8.4f %14.2f\n", row.name,
                    median(row.result.exchanges), longest(row.result.exchanges),
                    median(row.result.shares), longest(row.result.shares), row.result.stall);
    std::printf("    waiting while the broker was away: %lld messages in all; after it came "
                "back: %lld dropped, %lld left unsent\n",
                waiting, dropped, left);
    const double added = median(live.exchanges) - median(off.exchanges);
    bool met = median(live.shares) < 0.1 && median(away.shares) < 0.1;

    // (b) sustained publishing
    const Subscriber subscriber(broker, "rate/#");
    std::this_thread::sleep_for(std::chrono::seconds(1)); // it connects meanwhile
    std::snprintf(settings.prefix, sizeof settings.prefix, "rate");
    if (start_publishing(&settings, &problem) != 0) return 1;
    auto record = answer_record("A0", "A0 023.5 025.0", 0);
    record->port = 1;
    record->address = 1;
    record->sentLength = create_framing("A0", record->sent, 1);
    std::vector<double> handed;
    const auto start = Clock::now();
    const int total = 1000 * seconds;
    for (int i = 0; i < total; i++) {
        std::this_thread::sleep_until(start + std::chrono::microseconds(1000 * i));
        record->wallMs = 1741944413000LL + i; // each message its own time
        const auto before = Clock::now();
        publish_exchange(record.get());
        handed.push_back(ms(before, Clock::now()));
    }
    const double took = ms(start, Clock::now()) / 1000;
    wait_for(30, [&] {
        MqttStatus now;
        return publishing_status(&now) && now.waiting == 0;
    });
    MqttStatus status;
    publishing_status(&status);
    stop_publishing(2000, 3000, nullptr);
    std::set<std::string> arrived;
    wait_for(10, [&] {
        for (const std::string &line : subscriber.lines())
            if (line.find("rate/com1/1/exchange") != std::string::npos) arrived.insert(line);
        return int(arrived.size()) >= total;
    });
    std::printf("(b) %d exchange records in %.2f s (%.0f a second): %zu exchange messages "
                "arrived, %lld dropped; handing one over: median %.4f ms, max %.3f ms\n",
                total, took, total / took, arrived.size(), status.dropped, median(handed),
                longest(handed));
    met = met && int(arrived.size()) == total && status.dropped == 0;
    std::printf("publishing adds %.3f ms to the median exchange (its own share %.4f ms); goals "
                "(share under 0.1 ms, no loss at 1,000 a second): %s\n",
                added, median(live.shares), met ? "met" : "missed");
    ui_discard_all();
    return met ? 0 : 1;
}
