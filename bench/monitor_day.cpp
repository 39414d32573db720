// The line monitor's cost over a day of cyclic sending: 43,200 exchanges (one per 2-second tick)
// pushed through its model and its open window as fast as they go, a mix of valid and rejected
// answers. Prints the resident memory before and after, the time to take one exchange (median
// and maximum; and the medians of the first thousand, of the thousand after the store has filled
// up, when the oldest rows start to go, and of the last thousand, so that a slowing window
// shows) and the time the window then needs to repaint. Exits 1 when memory grew by more than
// the store's bound or the last thousand took more than twice as long as those after filling.
// Usage: monitor_day_bench [EXCHANGES], default 43200.
#include "record/monitor_store.h"
#include "record/record.h"
#include "ui/qt/line_monitor.h"
#include "ui/qt/monitor_model.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

long residentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// An "A0" exchange with chamber 1 whose answer ends as code says.
std::unique_ptr<ExchangeRecord> exchangeEnding(int code) {
    static const unsigned char sent[] = {0x02, 0x81, 0xC1, 0xB0, 0xF0, 0x03};
    static const unsigned char answer[] = {0x02, 0x81, 0xC1, 0xB0, 0xA0, 0xB0, 0xB2, 0xB3, 0xAE,
                                           0xB5, 0xA0, 0xB0, 0xB2, 0xB5, 0xAE, 0xB0, 0xF3, 0x03};
    auto record = std::make_unique<ExchangeRecord>();
    std::memset(record.get(), 0, sizeof *record);
    record->trigger = BY_TIMER;
    record->port = 1;
    record->address = 1;
    std::memcpy(record->sent, sent, sizeof sent);
    record->sentLength = record->writeResult = int(sizeof sent);
    ReceiveOutcome &r = record->received;
    r.code = code;
    r.frameStart = -1;
    r.decidingIndex = -1;
    if (code != RECEIVE_NO_ANSWER) {
        r.count = int(sizeof answer);
        for (int i = 0; i < r.count; i++) {
            r.bytes[i] = answer[i];
            r.ms[i] = 11.0f + 0.573f * float(i);
        }
        r.frameStart = 0;
        r.decidingIndex = code == RECEIVE_OK ? r.count - 1 : r.count - 2;
        r.decidingValue = code == RECEIVE_OK ? 0x03 : 0x35;
        r.bytes[16] ^= code == RECEIVE_OK ? 0 : 0x35;
    }
    record->answered = code == RECEIVE_OK;
    record->rttMs = record->answered ? r.ms[r.count - 1] : -1;
    return record;
}

struct Spread {
    double median, max;
};

Spread spread(std::vector<double> us) {
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us.back()};
}

} // namespace

int main(int argc, char *argv[]) {
    const int exchanges = argc > 1 ? std::max(MONITOR_EXCHANGES + 2000, std::atoi(argv[1])) : 43200;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    MonitorModel model;
    LineMonitor window(&model, nullptr);
    window.show();
    QCoreApplication::processEvents();
    const long before = residentKb();

    // two in three answers valid, then a bad checksum and a silence by turns
    const std::unique_ptr<ExchangeRecord> kinds[] = {
        exchangeEnding(RECEIVE_OK),           exchangeEnding(RECEIVE_OK),
        exchangeEnding(RECEIVE_BAD_CHECKSUM), exchangeEnding(RECEIVE_OK),
        exchangeEnding(RECEIVE_OK),           exchangeEnding(RECEIVE_NO_ANSWER)};
    const long long start = 1700000000000;
    std::vector<double> takeUs, paintUs;
    takeUs.reserve(size_t(exchanges));
    paintUs.reserve(size_t(exchanges));
    QElapsedTimer clock;
    for (int i = 0; i < exchanges; i++) {
        ExchangeRecord *record = kinds[i % 6].get();
        record->wallMs = start + 2000LL * i;
        clock.start();
        publish_exchange(record); // the model is the one reader
        takeUs.push_back(double(clock.nsecsElapsed()) / 1000);
        clock.start();
        QCoreApplication::processEvents();
        paintUs.push_back(double(clock.nsecsElapsed()) / 1000);
    }
    const long after = residentKb();

    const Spread take = spread(takeUs), paint = spread(paintUs);
    const Spread first = spread({takeUs.begin(), takeUs.begin() + 1000});
    const auto filled = takeUs.begin() + MONITOR_EXCHANGES;
    const Spread full = spread({filled, filled + 1000});
    const Spread last = spread({takeUs.end() - 1000, takeUs.end()});
    std::printf("line monitor, %d exchanges: %d rows kept\n", exchanges, model.rowCount());
    std::printf("resident memory: %ld KiB before, %ld KiB after (+%ld KiB); store bound %zu KiB\n",
                before, after, after - before, sizeof(MonitorStore) / 1024);
    std::printf("taking one exchange: median %.1f us, max %.1f us; median of the first 1000 "
                "%.1f us, of 1000 once full %.1f us, of the last 1000 %.1f us\n",
                take.median, take.max, first.median, full.median, last.median);
    std::printf("repainting after it: median %.1f us, max %.1f us\n", paint.median, paint.max);
    const bool bounded = after - before <= long(sizeof(MonitorStore) / 1024) + 4096;
    return bounded && last.median <= 2 * full.median + 5 ? 0 : 1;
}
