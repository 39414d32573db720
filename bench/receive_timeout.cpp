// Measures the receive time-out: how long the receiver takes to give up on a line that stays
// silent, through the Qt serial layer on a pseudo-terminal, over many trials. Each trial is one
// send (open, write) and one receive (read until the time-out, close), as in a timer-driven
// exchange. The goal is every trial between 475 and 600 ms.
// Usage: receive_timeout_bench [TRIALS], default 100. Exits 1 when a trial misses the goal.
#include "link/link.h"
#include "link/rs232.h"
#include "tests/support/exchange_window.h"
#include "tests/support/test_link.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char *argv[]) {
    const int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TestPty line; // the far end, which never answers
    if (!line.ok()) {
        std::fputs("receive_timeout_bench: no pseudo-terminal\n", stderr);
        return 1;
    }
    load_main_for_enter(line.path());
    TestLink link;

    std::vector<double> ms;
    int answered = 0;
    for (int i = 0; i < trials; i++) {
        char frame[FRAME_BUFFER_SIZE], response[FRAME_BUFFER_SIZE];
        link.reset(1);
        zeichen_senden(&link.x, "A0", frame, 1);
        line.read(6, 1.0); // the request, so that the pty's buffer never fills
        const double start = Timer();
        answered += zeichen_empfangen(&link.x, response, 1) != 0;
        ms.push_back((Timer() - start) * 1000);
        ComPortClose(&link.x);
    }

    std::sort(ms.begin(), ms.end());
    const size_t outside =
        size_t(std::count_if(ms.begin(), ms.end(), [](double t) { return t < 475 || t > 600; }));
    std::printf("receive time-out on a silent line, %d trials: min %.1f ms, median %.1f ms, "
                "max %.1f ms; outside 475..600 ms: %zu; answered: %d\n",
                trials, ms.front(), (ms[(ms.size() - 1) / 2] + ms[ms.size() / 2]) / 2, ms.back(),
                outside, answered);
    return outside == 0 && answered == 0 ? 0 : 1;
}
