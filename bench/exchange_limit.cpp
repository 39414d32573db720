// Measures how long one exchange holds the line, from its request to the close of the port, on the
// worst lines a far end can make: frames that fail their checksum without end, and bytes that
// come just before each read would time out, also during the flush. Each exchange is measured by
// the far end itself (its request's last byte to the tool's close of the line), through the
// program as a process (--send: Enter's exchange, with its 0.5 s wait) and through the window's
// timer exchange on the real panel. The goal is every exchange within 2.5 s.
// Usage: exchange_limit_bench [EXCHANGES], default 20 of each kind. Exits 1 when one took longer.
#include "link/rs232.h"
#include "tests/cli/cli_run.h"
#include "tests/support/endless_line.h"
#include "tests/support/exchange_window.h"
#include "ui/ascii.h"
#include "ui/callbacks.h"
#include "ui/program.h"

#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

struct Line {
    const char *name;
    std::unique_ptr<EndlessLine> line;
};

// The line's hold of the exchange just run, once its far end has seen the close.
double lastHold(const EndlessLine &line, size_t before) {
    for (int i = 0; i < 1000 && line.holds().size() <= before; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return line.holds().size() > before ? line.holds().back() : -1;
}

} // namespace

int main(int argc, char *argv[]) {
    const int exchanges = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::string bad = "\x02\x81\xC1\xB0\xF1\x03"; // "A0" from chamber 1, checksum wrong
    std::vector<EndlessLine::Piece> slow, slowest;
    for (char byte : bad) {
        slow.push_back({std::string(1, byte), 0.49});
        slowest.push_back({std::string(1, byte), 0.499});
    }
    Line lines[] = {
        {"bad-checksum frames without pause",
         std::make_unique<EndlessLine>(
             std::vector<EndlessLine::Piece>{{bad, double(bad.size()) * EndlessLine::BYTE_TIME}})},
        {"bad-checksum frames, a byte every 0.49 s", std::make_unique<EndlessLine>(slow)},
        {"bad-checksum frames, a byte every 0.499 s", std::make_unique<EndlessLine>(slowest)},
        {"a bad frame, then a frame cut by gaps of 0.49 and 0.495 s",
         std::make_unique<EndlessLine>(
             std::vector<EndlessLine::Piece>{{bad, 0.45}, {"\x02\x81", 0.49}, {"\xC1", 0.495}})},
    };
    for (const Line &line : lines)
        if (!line.line->ok()) {
            std::fputs("exchange_limit_bench: no pseudo-terminal\n", stderr);
            return 1;
        }

    double longest = 0;
    for (const bool window : {false, true}) {
        if (window) load_main_for_enter(lines[0].line->path());
        std::printf("%s:\n", window ? "the window's timer exchange" : "kelvra-ascii --send");
        double longestHere = 0;
        for (int i = 0; i < exchanges; i++) {
            const Line &line = lines[size_t(i) % std::size(lines)];
            const size_t before = line.line->holds().size();
            if (window) {
                MapComPort(1, line.line->path());
                TIMER(main_panel, SCANNER, EVENT_TIMER_TICK, nullptr, 0, 0);
            } else {
                run_tools({{"--send", "A0", "--map", std::string("com1=") + line.line->path()}});
            }
            const double hold = lastHold(*line.line, before);
            std::printf("  %6.3f s  %s\n", hold, line.name);
            std::fflush(stdout);
            longestHere = std::max(longestHere, hold < 0 ? 1e9 : hold);
        }
        std::printf("  longest of %d: %.3f s\n", exchanges, longestHere);
        longest = std::max(longest, longestHere);
    }
    ui_discard_all();
    return longest <= 2.5 ? 0 : 1;
}
