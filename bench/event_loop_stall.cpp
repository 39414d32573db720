// Measures how long the window's event loop stalls while timer-driven exchanges wait on the
// line. A 1 ms heartbeat timer runs beside cyclic sending on the real panel, the Qt serial layer
// and a scripted chamber on a pseudo-terminal; a gap between two of its ticks is a time in which
// the window could not repaint, move or run its timers. Three chambers: a silent one (each read
// waits out its time-out), a responding one, and one that trails a stray byte after its response
// (the receiver then discards the line for one link delay).
//
// On a busy machine part of a gap is time in which the thread was ready but another program had
// the processor; Linux tells how much (/proc/thread-self/schedstat), and that part is taken off
// to give the stall that the program itself causes. Both are printed. The goal is every stall of
// an exchange's span under 50 ms; run on a quiet machine, the two agree.
//
// Build and run by hand (offscreen unless a platform is chosen):
//   cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release
//   cmake --build build/bench --target event_loop_stall_bench
//   build/bench/bench/event_loop_stall_bench [EXCHANGES]      (default 20, about 45 s a chamber)
// Exits 1 when the goal is missed or the exchanges do not all happen.
#include "link/rs232.h"
#include "tests/support/exchange_window.h"
#include "tests/support/run_queue.h"
#include "ui/ascii.h"
#include "ui/program.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr double GOAL_MS = 50;

double ms(SteadyTime from, SteadyTime to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

struct Gap {
    double wall = 0;  // between two heartbeat ticks, ms
    double stall = 0; // the gap less the time the thread waited for a processor
    void widen(const Gap &other) {
        wall = std::max(wall, other.wall);
        stall = std::max(stall, other.stall);
    }
};

struct Result {
    size_t exchanges = 0;
    Gap inside;              // the longest gaps that overlap an exchange
    Gap outside;             // the longest between exchanges, for comparison
    double meanExchange = 0; // from "Scanning" to the title's return, ms
    double longestExchange = 0;
};

// Runs cyclic sending against a chamber that answers as told until `exchanges` timer-driven
// exchanges have ended, and measures the heartbeat from the start of the first to the end of the
// last.
Result measure(const ScriptedChamber::Answer &answer, size_t exchanges) {
    ScriptedChamber chamber(answer);
    Result result;
    if (!chamber.ok() || MapComPort(1, chamber.path()) != 0) return result;
    ui_load_main(0); // cyclic sending is on

    bool measuring = false;
    bool running = false; // an exchange
    bool touched = false; // an exchange ran at some time since the last heartbeat tick
    SteadyTime lastBeat, started;
    double lastQueued = 0;
    std::vector<double> spans;
    QEventLoop loop;

    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const SteadyTime now = std::chrono::steady_clock::now();
        const double queued = runQueueMs();
        if (measuring) {
            Gap gap;
            gap.wall = ms(lastBeat, now);
            gap.stall = queued < 0 ? gap.wall : gap.wall - (queued - lastQueued);
            (touched ? result.inside : result.outside).widen(gap);
        }
        touched = running;
        lastBeat = now;
        lastQueued = queued;
        if (spans.size() >= exchanges) loop.quit(); // the gap that ended the last one is in
    });
    heartbeat.start(1);

    QObject context;
    QObject::connect(PanelWidget(main_panel), &QWidget::windowTitleChanged, &context,
                     [&](const QString &title) {
                         const SteadyTime now = std::chrono::steady_clock::now();
                         if (title == QLatin1String("Scanning")) {
                             if (!measuring) {
                                 lastBeat = now; // the first exchange starts
                                 lastQueued = runQueueMs();
                             }
                             measuring = running = touched = true;
                             started = now;
                             return;
                         }
                         running = false;
                         if (!measuring || spans.size() >= exchanges) return;
                         spans.push_back(ms(started, now));
                     });

    QTimer::singleShot(int((double(exchanges) * 2.0 + 10) * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    heartbeat.stop();
    ui_discard_all();

    result.exchanges = spans.size();
    if (!spans.empty()) {
        for (double span : spans) result.meanExchange += span / double(spans.size());
        result.longestExchange = *std::max_element(spans.begin(), spans.end());
    }
    return result;
}

std::string silent(const std::string &, int) {
    return {};
}

std::string trailing(const std::string &request, int index) {
    return ScriptedChamber::echo(request, index) + "\r";
}

} // namespace

int main(int argc, char *argv[]) {
    const size_t exchanges = argc > 1 ? size_t(std::max(1, std::atoi(argv[1]))) : 20;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ui_init();
    double load = -1;
    if (FILE *file = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(file, "%lf", &load) != 1) load = -1;
        std::fclose(file);
    }
    std::printf("load average at start %.2f; processor waits %s\n", load,
                runQueueMs() < 0 ? "unknown: stalls are whole gaps" : "known");

    const struct {
        const char *name;
        ScriptedChamber::Answer answer;
    } chambers[] = {{"silent chamber", silent},
                    {"responding chamber", ScriptedChamber::echo},
                    {"response with a trailing byte", trailing}};
    bool met = true;
    for (const auto &chamber : chambers) {
        std::printf("%s, %zu timer exchanges:\n", chamber.name, exchanges);
        std::fflush(stdout);
        const Result r = measure(chamber.answer, exchanges);
        std::printf("  during exchanges: longest gap %.1f ms, longest stall %.1f ms\n"
                    "  between them:     longest gap %.1f ms, longest stall %.1f ms\n"
                    "  exchanges %zu, mean %.1f ms, longest %.1f ms\n",
                    r.inside.wall, r.inside.stall, r.outside.wall, r.outside.stall, r.exchanges,
                    r.meanExchange, r.longestExchange);
        std::fflush(stdout);
        met = met && r.exchanges == exchanges && r.inside.stall < GOAL_MS;
    }
    std::printf("goal (every stall during an exchange under %.0f ms): %s\n", GOAL_MS,
                met ? "met" : "missed");
    return met ? 0 : 1;
}
