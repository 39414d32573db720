// Measures cyclic sending on the real panel, the Qt serial layer and a scripted chamber on a
// pseudo-terminal:
//  (a) from the last byte of a response written to the line to its entry in the received
//      history, over the timer-driven exchanges;
//  (b) the tick period: when each tick's exchange starts (the title turns to "Scanning").
// Usage: exchange_bench [EXCHANGES], default 50. Runs offscreen unless a platform is chosen.
#include "link/rs232.h"
#include "tests/support/exchange_window.h"
#include "ui/ascii.h"
#include "ui/program.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <vector>

namespace {

constexpr double PERIOD = 2.0;
constexpr size_t PERIOD_TICKS = 30;

double seconds(SteadyTime from, SteadyTime to) {
    return std::chrono::duration<double>(to - from).count();
}

double quantile(std::vector<double> values, double q) {
    std::sort(values.begin(), values.end());
    return values[size_t(std::lround(q * double(values.size() - 1)))];
}

void report(const char *what, const std::vector<double> &values, double scale, const char *unit) {
    const double mean = std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
    std::printf("%s over %zu: median %.3f %s, mean %.3f, min %.3f, p90 %.3f, max %.3f %s\n", what,
                values.size(), quantile(values, 0.5) * scale, unit, mean * scale,
                quantile(values, 0.0) * scale, quantile(values, 0.9) * scale,
                quantile(values, 1.0) * scale, unit);
}

std::string answer(const std::string &, int) {
    return ScriptedChamber::frame("A0 023.5 025.0");
}

} // namespace

int main(int argc, char *argv[]) {
    const size_t exchanges = argc > 1 ? size_t(std::max(2, std::atoi(argv[1]))) : 50;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ui_init();
    ScriptedChamber chamber(answer);
    if (!chamber.ok() || MapComPort(1, chamber.path()) != 0) {
        std::fputs("exchange_bench: no pseudo-terminal\n", stderr);
        return 1;
    }
    ui_load_main(0);
    InsertionLog received(ZEICHEN_EMPFANGEN);
    std::vector<SteadyTime> ticks;
    QObject context;
    QObject::connect(PanelWidget(main_panel), &QWidget::windowTitleChanged, &context,
                     [&](const QString &title) {
                         if (title == QLatin1String("Scanning"))
                             ticks.push_back(std::chrono::steady_clock::now());
                     });

    std::printf("%zu timer exchanges, about %.0f s\n", exchanges, double(exchanges) * PERIOD + 2);
    std::fflush(stdout);
    const int limitMs = int((double(exchanges) * PERIOD + 10) * 1000);
    if (!QTest::qWaitFor([&] { return received.times.size() >= exchanges; }, limitMs)) {
        std::fprintf(stderr, "exchange_bench: only %zu answers arrived\n", received.times.size());
        return 1;
    }

    const std::vector<SteadyTime> written = chamber.answered();
    std::vector<double> latency;
    for (size_t i = 0; i < exchanges && i < written.size(); i++)
        latency.push_back(seconds(written[i], received.times[i]));
    report("(a) last response byte on the line -> entry in the received history", latency, 1e3,
           "ms");

    const size_t counted = std::min(ticks.size() - 1, PERIOD_TICKS);
    std::vector<double> periods, offGrid;
    for (size_t i = 1; i <= counted; i++) periods.push_back(seconds(ticks[i - 1], ticks[i]));
    for (size_t i = 0; i <= counted; i++)
        offGrid.push_back(std::fabs(seconds(ticks[0], ticks[i]) - double(i) * PERIOD));
    report("(b) tick period", periods, 1.0, "s");
    std::printf("(b) drift after %zu periods: %+.3f ms; largest distance from the 2.0 s grid: "
                "%.3f ms\n",
                counted, (seconds(ticks[0], ticks[counted]) - double(counted) * PERIOD) * 1e3,
                *std::max_element(offGrid.begin(), offGrid.end()) * 1e3);
    ui_discard_all();
    return 0;
}
