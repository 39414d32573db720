// A port that cannot be opened: two "RS-232 Message" boxes per exchange, the sent entry shown,
// the indicator off, and the tool goes on; ticks that fall due meanwhile are dropped.
#include "link/rs232.h"
#include "tests/support/exchange_window.h"
#include "ui/ascii.h"
#include "ui/program.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

const char *const MISSING = "/nonexistent/kelvra-line";

class MissingPort : public ::testing::Test {
protected:
    void SetUp() override {
        ui_init();
        ASSERT_EQ(MapComPort(1, MISSING), 0);
    }
    void TearDown() override { ui_discard_all(); }
};

// The open's box names the device and why; the write then finds the port not open.
void expectOpenAndWriteBoxes(const std::vector<MessageBoxCatcher::Box> &boxes) {
    ASSERT_EQ(boxes.size(), 2u);
    for (const auto &box : boxes) EXPECT_EQ(box.title, "RS-232 Message");
    EXPECT_NE(boxes[0].text.find(MISSING), std::string::npos) << boxes[0].text;
    EXPECT_NE(boxes[0].text.find("no such device"), std::string::npos) << boxes[0].text;
    EXPECT_NE(boxes[1].text.find("not open"), std::string::npos) << boxes[1].text;
}

TEST_F(MissingPort, EnterShowsTheTwoMessagesAndTheToolGoesOn) {
    load_main_for_enter(MISSING);
    {
        MessageBoxCatcher catcher;
        press_enter();
        expectOpenAndWriteBoxes(catcher.boxes);
    }
    EXPECT_EQ(history(ZEICHEN_GESENDET), std::vector<std::string>{"A0"});
    EXPECT_TRUE(history(ZEICHEN_EMPFANGEN).empty());
    EXPECT_EQ(ui_int(main_panel, LED), 0);

    ScriptedChamber chamber; // the device appears
    ASSERT_TRUE(chamber.ok());
    ASSERT_EQ(MapComPort(1, chamber.path()), 0);
    MessageBoxCatcher catcher;
    press_enter();
    EXPECT_TRUE(catcher.boxes.empty());
    EXPECT_EQ(ui_int(main_panel, LED), 1);
    EXPECT_EQ(history(ZEICHEN_EMPFANGEN), std::vector<std::string>{"A0"});
}

TEST_F(MissingPort, ATickDuringTheMessagesIsDroppedAndTheNextKeepsTheGrid) {
    ui_load_main(0);
    MessageBoxCatcher catcher(1200); // the two boxes hold the first exchange past the next tick
    InsertionLog sent(ZEICHEN_GESENDET);

    ASSERT_TRUE(QTest::qWaitFor([&] { return sent.times.size() >= 2; }, 8000));
    const double apart = std::chrono::duration<double>(sent.times[1] - sent.times[0]).count();
    EXPECT_NEAR(apart, 4.0, 0.2); // the tick due at 4.0 s fell during the boxes
    ASSERT_TRUE(QTest::qWaitFor([&] { return catcher.boxes.size() >= 4; }, 4000));
    EXPECT_EQ(catcher.boxes.size(), 4u);
    EXPECT_EQ(history(ZEICHEN_GESENDET).size(), 2u);
}

} // namespace
