// Enter in the command field, end to end: real key events on the real panel, the Qt serial
// layer, and a scripted chamber on a pseudo-terminal mapped to com1.
#include "tests/support/exchange_window.h"
#include "ui/ascii.h"
#include "ui/program.h"

#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

const std::string A0_ANSWER = "A0 023.5 025.0";

std::string answerA0(const std::string &request, int index) {
    return request == ScriptedChamber::frame("A0") ? ScriptedChamber::frame(A0_ANSWER)
                                                   : ScriptedChamber::echo(request, index);
}

class Enter : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(chamber.ok());
        load_main_for_enter(chamber.path());
    }
    void TearDown() override { ui_discard_all(); }

    ScriptedChamber chamber{answerA0};
};

double seconds(SteadyTime from, SteadyTime to) {
    return std::chrono::duration<double>(to - from).count();
}

TEST_F(Enter, SendsTheExactFrameAndShowsBothFramesOnTop) {
    const struct {
        const char *command;
        int address;
        std::string line; // the frame as it must appear on the line
        const char *received;
    } cases[] = {
        {"A0", 1, "\x02\x81\xC1\xB0\xF0\x03", "A0 023.5 025.0"},
        {"S", 17, "\x02\x91\xD3\xC2\x03", "S"},
        {"u0 03.50", 32,
         "\x02\xA0\xF5\xB0\xA0\xB0\xB3\xAE\xB5\xB0"
         "\xED\x03",
         "u0 03.50"},
    };
    InsertionLog sent(ZEICHEN_GESENDET), received(ZEICHEN_EMPFANGEN);
    size_t lineBefore = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command);
        SetCtrlVal(main_panel, KAMMER, c.address);
        type_command(c.command);

        press_enter();

        EXPECT_EQ(chamber.line().substr(lineBefore), c.line);
        lineBefore = chamber.line().size();
        EXPECT_EQ(ui_int(main_panel, LED), 1);
        EXPECT_EQ(history(ZEICHEN_GESENDET).front(), c.command);
        EXPECT_EQ(history(ZEICHEN_EMPFANGEN).front(), c.received);
        EXPECT_EQ(selected(ZEICHEN_GESENDET), 0);
        EXPECT_EQ(selected(ZEICHEN_EMPFANGEN), 0);
        // the sent entry is in before the link delay and the response are awaited
        ASSERT_EQ(sent.times.size(), received.times.size());
        EXPECT_GT(seconds(sent.times.back(), received.times.back()), 0.45);
    }
    EXPECT_EQ(history(ZEICHEN_GESENDET).size(), 3u);
}

TEST_F(Enter, OtherKeysAndAnEmptyFieldSendNothing) {
    auto *field = ControlWidget(main_panel, SEND_STRING);
    for (Qt::Key key : {Qt::Key_X, Qt::Key_Space, Qt::Key_Backspace, Qt::Key_Tab, Qt::Key_Up,
                        Qt::Key_Down, Qt::Key_F5, Qt::Key_Delete, Qt::Key_Home})
        QTest::keyClick(field, key);
    type_command("");
    press_enter();
    QTest::keyClick(field, Qt::Key_Enter); // the keypad's Enter

    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(chamber.line(), "");
    EXPECT_TRUE(history(ZEICHEN_GESENDET).empty());
    EXPECT_TRUE(history(ZEICHEN_EMPFANGEN).empty());
    EXPECT_EQ(ui_int(main_panel, LED), 0);

    type_command("A0"); // the field still works
    QTest::keyClick(field, Qt::Key_Enter);
    EXPECT_EQ(history(ZEICHEN_EMPFANGEN), std::vector<std::string>{A0_ANSWER});
}

} // namespace
