// Timer-driven exchanges: ticks stay on their 2.0 s grid through real exchanges, and a tick
// with an empty command field only flips the title.
#include "link/rs232.h"
#include "tests/support/exchange_window.h"
#include "tests/support/sim_process.h"
#include "ui/ascii.h"
#include "ui/program.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

class Ticks : public ::testing::Test {
protected:
    void SetUp() override { ui_init(); }
    void TearDown() override { ui_discard_all(); }
};

TEST_F(Ticks, KeepTheirPeriodThroughAnsweredAndSilentExchanges) {
    SimProcess sim({"--fault", "silent", "--fault-every", "2"});
    ASSERT_TRUE(sim.started()) << sim.stderr_text();
    ASSERT_EQ(MapComPort(1, sim.path().c_str()), 0);
    ui_load_main(0);
    InsertionLog sent(ZEICHEN_GESENDET);

    ASSERT_TRUE(QTest::qWaitFor([&] { return sent.times.size() >= 4; }, 10000));
    for (size_t i = 1; i < sent.times.size(); i++) {
        const double period =
            std::chrono::duration<double>(sent.times[i] - sent.times[i - 1]).count();
        EXPECT_NEAR(period, 2.0, 0.15) << "tick " << i;
    }
    for (const std::string &title : sent.titles) EXPECT_EQ(title, "Scanning");
    // qWaitFor looks only between callbacks, so the fourth exchange is over; answers 2 and 4
    // were withheld
    EXPECT_EQ(history(ZEICHEN_EMPFANGEN).size(), 2u);
    EXPECT_EQ(ui_int(main_panel, LED), 0);
}

TEST_F(Ticks, WithAnEmptyCommandFieldOnlyTheTitleFlips) {
    ScriptedChamber chamber;
    ASSERT_TRUE(chamber.ok());
    ASSERT_EQ(MapComPort(1, chamber.path()), 0);
    ui_load_main(1);
    type_command("");
    std::vector<std::string> titles;
    QObject context;
    QObject::connect(PanelWidget(main_panel), &QWidget::windowTitleChanged, &context,
                     [&](const QString &title) { titles.push_back(title.toStdString()); });

    ASSERT_TRUE(QTest::qWaitFor([&] { return titles.size() >= 2; }, 3000));
    EXPECT_EQ(titles, (std::vector<std::string>{
                          "Scanning", "Testprogramme for Kelvra ASCII protocol Version3.0"}));
    EXPECT_EQ(chamber.line(), "");
    EXPECT_TRUE(history(ZEICHEN_GESENDET).empty());
    EXPECT_TRUE(history(ZEICHEN_EMPFANGEN).empty());
    EXPECT_EQ(ui_int(main_panel, LED), 0);
}

} // namespace
