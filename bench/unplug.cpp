// Measures what the tool does when its chamber goes away during cyclic sending, on the real
// window, the Qt serial layer and the chamber simulator behind a symbolic link:
//  (0) for comparison, the process's CPU use over SECONDS of cyclic sending with answers;
//  (a) the simulator is killed while a timer-driven exchange waits for its answer, and the
//      process's CPU use over the next SECONDS is measured (goal: under 5 %, no busy loop);
//      every "RS-232 Message" box is dismissed 0.2 s after it appears, as a quick operator would;
//  (b) the simulator comes back on the same path: the time until the first exchange after that
//      completes with a valid response.
// Usage: unplug_bench [SECONDS], default 10. Exits 1 when a goal is missed.
#include "link/rs232.h"
#include "tests/support/exchange_window.h"
#include "tests/support/sim_process.h"
#include "ui/ascii.h"
#include "ui/program.h"
#include "ui/qt/controls.h"

#include <QAbstractItemModel>
#include <QEventLoop>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// User and system CPU seconds of this process so far.
double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for seconds, without polling.
void run_for(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char *argv[]) {
    const double window = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 10.0;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char directory[] = "/tmp/kelvra-unplug-XXXXXX";
    if (!mkdtemp(directory)) return 1;
    const std::string link = std::string(directory) + "/line";
    // the answer comes 0.3 s after the request, so the kill falls into the wait for it
    auto sim =
        std::make_unique<SimProcess>(std::vector<std::string>{"--link", link, "--delay", "300"});
    if (!sim->started()) {
        std::fprintf(stderr, "unplug_bench: the simulator did not start: %s\n",
                     sim->stderr_text().c_str());
        return 1;
    }
    ui_init();
    MapComPort(1, link.c_str());
    ui_load_main(0); // cyclic sending on
    MessageBoxCatcher catcher(200);
    InsertionLog sent(ZEICHEN_GESENDET), received(ZEICHEN_EMPFANGEN);
    if (!QTest::qWaitFor([&] { return received.times.size() >= 2; }, 10000)) {
        std::fputs("unplug_bench: no answers before the kill\n", stderr);
        return 1;
    }

    const double healthyFrom = seconds_now(), healthyCpu = cpu_seconds();
    run_for(window);
    const double healthyWall = seconds_now() - healthyFrom;
    std::printf("(0) cyclic sending with answers, %.1f s: CPU %.2f s = %.2f %%\n", healthyWall,
                cpu_seconds() - healthyCpu, (cpu_seconds() - healthyCpu) / healthyWall * 100);

    bool killed = false;
    double killedAt = 0, cpuAtKill = 0;
    size_t sentAtKill = 0, boxesAtKill = 0;
    QObject context;
    QObject::connect(ui_widget<ListBox>(main_panel, ZEICHEN_GESENDET)->model(),
                     &QAbstractItemModel::rowsInserted, &context, [&] {
                         if (killed) return;
                         sim->stop(SIGKILL); // its link stays behind, pointing nowhere
                         killed = true;
                         killedAt = seconds_now();
                         cpuAtKill = cpu_seconds();
                         sentAtKill = sent.times.size();
                         boxesAtKill = catcher.boxes.size();
                     });
    if (!QTest::qWaitFor([&] { return killed; }, 5000)) {
        std::fputs("unplug_bench: no exchange after the answers\n", stderr);
        return 1;
    }
    run_for(window - (seconds_now() - killedAt));
    const double cpu = cpu_seconds() - cpuAtKill, wall = seconds_now() - killedAt;
    const double percent = cpu / wall * 100;
    std::printf("(a) chamber killed while exchange %zu waited for its answer; over the next "
                "%.1f s: CPU %.2f s = %.2f %%, %zu exchanges tried, %zu messages\n",
                sentAtKill, wall, cpu, percent, sent.times.size() - sentAtKill,
                catcher.boxes.size() - boxesAtKill);

    sim = std::make_unique<SimProcess>(std::vector<std::string>{"--link", link});
    const SteadyTime backAt = std::chrono::steady_clock::now();
    const size_t receivedBefore = received.times.size();
    const bool completed =
        sim->started() &&
        QTest::qWaitFor([&] { return received.times.size() > receivedBefore; }, 10000);
    if (completed)
        std::printf("(b) chamber back: the first exchange completed %.2f s later, indicator %d\n",
                    std::chrono::duration<double>(received.times[receivedBefore] - backAt).count(),
                    ui_int(main_panel, LED));
    else
        std::printf("(b) chamber back: no exchange completed within 10 s\n");

    ui_discard_all();
    sim.reset();
    unlink(link.c_str());
    rmdir(directory);
    return percent < 5 && completed ? 0 : 1;
}
