// Bounds that no real chamber comes near, end to end through the window against the simulator:
// a response that trickles in is abandoned RECEIVE_LIMIT_MS after the receive began, and a line
// that never falls quiet is given up after MAX_FLUSH_PASSES waits, so the window is free again
// within seconds instead of minutes.
#include "link/link.h"
#include "tests/support/exchange_window.h"
#include "tests/support/sim_process.h"
#include "ui/ascii.h"
#include "ui/program.h"

#include <gtest/gtest.h>

namespace {

const double WAIT = double(LINK_DELAY_MS) / 1000;
const double LIMIT = double(RECEIVE_LIMIT_MS) / 1000;
const double FLUSH = double(MAX_FLUSH_PASSES * LINK_DELAY_MS) / 1000;

TEST(Bounds, ATrickleOrEndlessNoiseHoldsTheWindowOnlyWithinTheBounds) {
    const struct {
        const char *fault, *byteGapMs, *command;
        bool accepted;
        double atLeast, atMost; // seconds from Enter to the end of the exchange
    } cases[] = {
        // The 41 bytes of the identification, one every 0.4 s, would take 16 s: the receive is
        // abandoned at its limit (the read under way may take one more gap), and what still
        // trickles in is discarded until the flush gives up.
        {"slow", "400", "I", false, WAIT + LIMIT - 0.05, WAIT + LIMIT + 0.4 + FLUSH + 1.0},
        // The frame is taken at once; the noise behind it is discarded until the flush gives up.
        {"noise", "20", "A0", true, WAIT + FLUSH - 0.1, WAIT + FLUSH + 1.0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fault);
        // the first answer is sound, the second has the fault
        SimProcess sim({"--fault", c.fault, "--fault-every", "2", "--byte-gap", c.byteGapMs});
        ASSERT_TRUE(sim.started()) << sim.stderr_text();
        load_main_for_enter(sim.path().c_str());
        type_command(c.command);
        press_enter();
        ASSERT_EQ(ui_int(main_panel, LED), 1);
        const std::vector<std::string> before = history(ZEICHEN_EMPFANGEN);

        const double start = seconds_now();
        press_enter();
        const double took = seconds_now() - start;

        EXPECT_GE(took, c.atLeast);
        EXPECT_LE(took, c.atMost);
        EXPECT_EQ(ui_int(main_panel, LED), c.accepted ? 1 : 0);
        const std::vector<std::string> after = history(ZEICHEN_EMPFANGEN);
        if (c.accepted) {
            ASSERT_EQ(after.size(), 2u);
            EXPECT_EQ(after[0].substr(0, 3), "A0 ");
        } else {
            EXPECT_EQ(after, before);
        }
        ui_discard_all();
        EXPECT_EQ(sim.stop(), 0) << sim.stderr_text();
    }
}

} // namespace
