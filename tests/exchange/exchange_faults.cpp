// Faulty answers from the simulated chamber, end to end: only a valid frame from the addressed
// chamber lights the indicator and enters the received history.
#include "tests/support/exchange_window.h"
#include "tests/support/sim_process.h"
#include "ui/ascii.h"
#include "ui/program.h"

#include <gtest/gtest.h>

namespace {

TEST(Faults, OnlyAValidFrameFromTheChamberLightsTheLedAndEntersTheHistory) {
    const struct {
        const char *fault;
        bool accepted;
    } cases[] = {
        {"silent", false},     {"wrong-address", false}, {"bad-checksum", false},
        {"stray-byte", false}, {"oversize", false},      {"bad-then-good", true},
        {"trailing", true},    {"slow", true},           {"noise", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fault);
        // the first answer is sound, the second has the fault
        SimProcess sim({"--fault", c.fault, "--fault-every", "2", "--byte-gap", "20"});
        ASSERT_TRUE(sim.started()) << sim.stderr_text();
        load_main_for_enter(sim.path().c_str());

        press_enter();
        ASSERT_EQ(ui_int(main_panel, LED), 1);
        const std::vector<std::string> before = history(ZEICHEN_EMPFANGEN);
        ASSERT_EQ(before.size(), 1u);
        EXPECT_EQ(before[0].substr(0, 3), "A0 ");

        press_enter();
        EXPECT_EQ(history(ZEICHEN_GESENDET), (std::vector<std::string>{"A0", "A0"}));
        EXPECT_EQ(ui_int(main_panel, LED), c.accepted ? 1 : 0);
        const std::vector<std::string> after = history(ZEICHEN_EMPFANGEN);
        if (c.accepted) {
            ASSERT_EQ(after.size(), 2u);
            EXPECT_EQ(after[0].substr(0, 3), "A0 ");
            EXPECT_EQ(after[0].size(), before[0].size());
            EXPECT_EQ(after[1], before[0]);
        } else {
            EXPECT_EQ(after, before);
        }
        ui_discard_all();
        EXPECT_EQ(sim.stop(), 0) << sim.stderr_text();
    }
}

} // namespace
