// Cyclic sending from start-up: the program started with --map pointing com1 at the simulated
// chamber sends "A0" to chamber 1 on the first tick, with no operator action.
#include "tests/support/exchange_window.h"
#include "tests/support/sim_process.h"
#include "ui/ascii.h"
#include "ui/program.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(StartUp, TheFirstTickSendsA0ToChamberOneOnCom1WithoutOperatorAction) {
    ui_init();
    SimProcess sim({"--verbose"});
    ASSERT_TRUE(sim.started()) << sim.stderr_text();
    std::string map = "com1=" + sim.path();
    char name[] = "kelvra-ascii", option[] = "--map";
    char *argv[] = {name, option, map.data(), nullptr};

    SteadyTime loopStarted;
    std::unique_ptr<InsertionLog> sent, received;
    MessageBoxCatcher boxes;
    QTimer::singleShot(0, [&] {
        loopStarted = std::chrono::steady_clock::now();
        sent = std::make_unique<InsertionLog>(ZEICHEN_GESENDET);
        received = std::make_unique<InsertionLog>(ZEICHEN_EMPFANGEN);
    });
    QTimer::singleShot(3000, [] { QuitUserInterface(0); });

    EXPECT_EQ(ascii_main(3, argv), 0);

    ASSERT_TRUE(sent && received);
    ASSERT_EQ(sent->times.size(), 1u);
    const double firstTick = std::chrono::duration<double>(sent->times[0] - loopStarted).count();
    EXPECT_GT(firstTick, 1.9);
    EXPECT_LT(firstTick, 2.5);
    EXPECT_EQ(sent->titles[0], "Scanning");
    EXPECT_EQ(ui_title(main_panel), "Testprogram f\xfc"
                                    "r Kelvra ASCII protokoll Version3.0");
    EXPECT_EQ(history(ZEICHEN_GESENDET), std::vector<std::string>{"A0"});
    ASSERT_EQ(received->times.size(), 1u);
    EXPECT_EQ(history(ZEICHEN_EMPFANGEN)[0].substr(0, 3), "A0 ");
    EXPECT_EQ(ui_int(main_panel, LED), 1);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_NE(sim.stderr_text().find("02 81 C1 B0 F0 03"), std::string::npos) << sim.stderr_text();
    ui_discard_all();
}

} // namespace
