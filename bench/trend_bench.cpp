// The trend with a week of cyclic sending: 302,400 answers of "A0", one every 2 s, added to the
// store alone and then to the trend window through the readers' registry; memory, the time to
// add an answer and the time to redraw the window and render it to an image.
//   trend_bench [ANSWERS]   exits 1 when the store's memory or a redraw misses its goal.
#include "display/format.h"
#include "link/link.h"
#include "record/trend_store.h"
#include "ui/qt/trend_window.h"

#include <QApplication>
#include <QChart>
#include <QImage>
#include <QLineSeries>
#include <QPixmap>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double STORE_GOAL_MB = 20;
constexpr double REDRAW_GOAL_MS = 100;

double residentMb() {
    long pages = 0, resident = 0;
    std::ifstream statm("/proc/self/statm");
    if (!(statm >> pages >> resident)) return -1;
    return (double)resident * 4096 / (1024 * 1024);
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The chamber's answer at step i: channel 0 ramping toward a set value that changes every 6 h,
// with a little noise.
void answer(ExchangeRecord *record, long long i, long long startMs) {
    const double set = 20 + 10 * (double)((i / 10800) % 4);
    const double actual =
        set - 8 * std::exp(-(double)(i % 10800) / 600) + 0.05 * (double)((i * 7919) % 11 - 5);
    char payload[DISPLAY_BUFFER_SIZE]; // room for any double, though these have five digits
    snprintf(payload, sizeof payload, "A0 %05.1f %05.1f", actual, set);
    char frame[FRAME_BUFFER_SIZE];
    const int length = create_framing(payload, frame, 1);
    memcpy(record->received.bytes, frame, (size_t)length);
    record->received.count = length;
    record->received.frameStart = 0;
    record->received.decidingIndex = length - 1;
    record->wallMs = startMs + i * 2000;
}

struct Times {
    double median, rare, max; // rare: the 99.9th percentile
};

Times summary(std::vector<double> &ms) {
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[ms.size() * 999 / 1000], ms.back()};
}

} // namespace

int main(int argc, char **argv) {
    char *end = nullptr;
    const long long answers = argc > 1 ? strtoll(argv[1], &end, 10) : 302400;
    if (answers < 1 || (end && *end != '\0')) {
        fprintf(stderr, "usage: trend_bench [ANSWERS]\n");
        return 2;
    }
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Fremdsprache = 1;
    auto record = std::make_unique<ExchangeRecord>();
    snprintf(record->command, sizeof record->command, "A0");
    record->answered = 1;
    record->rttMs = 14;
    record->received.code = RECEIVE_OK;
    const long long startMs = 1700000000000;
    bool met = true;

    // the store alone
    std::vector<double> addMs((size_t)answers, 0.0);
    const double before = residentMb();
    std::unique_ptr<TrendStore> store(new TrendStore); // untouched until points come
    trend_clear(store.get());
    for (long long i = 0; i < answers; i++) {
        answer(record.get(), i, startMs);
        const Clock::time_point start = Clock::now();
        trend_add_record(store.get(), record.get());
        addMs[(size_t)i] = msSince(start);
    }
    const double storeMb = residentMb() - before;
    const Times add = summary(addMs);
    printf("store: %lld answers, %.1f MB resident (size %.1f MB, goal < %.0f MB)\n", answers,
           storeMb, (double)sizeof(TrendStore) / (1024 * 1024), STORE_GOAL_MB);
    printf("store: add an answer: median %.2f us, 99.9%% %.2f us, max %.1f us\n", add.median * 1000,
           add.rare * 1000, add.max * 1000);
    met = met && storeMb < STORE_GOAL_MB && sizeof(TrendStore) < STORE_GOAL_MB * 1024 * 1024;
    store.reset();
    std::vector<double> publishMs;

    // the window, fed as the exchange cycle feeds it
    publishMs.resize((size_t)answers);
    TrendWindow window;
    window.resize(1200, 700);
    window.show();
    QApplication::processEvents();
    window.grab(); // the empty chart drawn once: what the window costs without points
    const double emptyWindow = residentMb();
    for (long long i = 0; i < answers; i++) {
        answer(record.get(), i, startMs);
        const Clock::time_point start = Clock::now();
        publish_exchange(record.get());
        publishMs[(size_t)i] = msSince(start);
    }
    const Times publish = summary(publishMs);
    const double fedWindow = residentMb();
    printf("window: an answer reaches the store: median %.2f us, 99.9%% %.2f us, max %.1f us\n",
           publish.median * 1000, publish.rare * 1000, publish.max * 1000);

    const struct {
        TrendWindow::Span span;
        const char *name;
    } spans[] = {{TrendWindow::TenMinutes, "10 min"},
                 {TrendWindow::OneHour, "1 h"},
                 {TrendWindow::EightHours, "8 h"},
                 {TrendWindow::All, "all"}};
    for (const auto &s : spans) {
        window.setSpan(s.span);
        std::vector<double> drawMs;
        bool rendered = true;
        for (int run = 0; run < 9; run++) {
            const Clock::time_point start = Clock::now();
            window.refresh();
            const QImage image = window.grab().toImage();
            drawMs.push_back(msSince(start));
            rendered = rendered && !image.isNull();
        }
        long long points = 0;
        for (QAbstractSeries *series : window.chart()->series())
            points += static_cast<QLineSeries *>(series)->count();
        const Times draw = summary(drawMs);
        printf("window: redraw and render %-6s (%lld points drawn): median %.1f ms, max %.1f ms\n",
               s.name, points, draw.median, draw.max);
        met = met && rendered && draw.median < REDRAW_GOAL_MS;
    }
    printf("window: resident beyond the empty window: %.1f MB after a week's answers, %.1f MB "
           "once drawn\n",
           fedWindow - emptyWindow, residentMb() - emptyWindow);
    return met ? 0 : 1;
}
