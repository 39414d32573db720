// The command field keeps a command text within what a frame holds: typed beyond its limit,
// it sends the longest frame there is, and the answer of that size is shown whole.
#include "link/link.h"
#include "tests/support/exchange_window.h"
#include "ui/ascii.h"
#include "ui/program.h"

#include <gtest/gtest.h>

namespace {

TEST(Length, ACommandTypedPastTheFieldsLimitSendsTheLongestFrame) {
    ScriptedChamber chamber; // answers with the same text
    ASSERT_TRUE(chamber.ok());
    load_main_for_enter(chamber.path());
    const std::string longest(MAX_COMMAND_LENGTH, 'x');

    type_command(std::string(MAX_COMMAND_LENGTH + 20, 'x'));
    EXPECT_EQ(ui_text(main_panel, SEND_STRING), longest);
    SetCtrlVal(main_panel, SEND_STRING, std::string(700, 'x').c_str());
    EXPECT_EQ(ui_text(main_panel, SEND_STRING), longest);
    press_enter();

    const std::string line = chamber.line();
    ASSERT_EQ(line.size(), size_t(FRAME_BUFFER_SIZE - 1));
    EXPECT_EQ(line.substr(0, 2), "\x02\x81");
    EXPECT_EQ(line.substr(2, MAX_COMMAND_LENGTH), std::string(MAX_COMMAND_LENGTH, '\xF8'));
    EXPECT_EQ(line.substr(MAX_COMMAND_LENGTH + 2), "\xF9\x03");
    EXPECT_EQ(history(ZEICHEN_GESENDET), std::vector<std::string>{longest});
    EXPECT_EQ(history(ZEICHEN_EMPFANGEN), std::vector<std::string>{longest});
    EXPECT_EQ(ui_int(main_panel, LED), 1);
    ui_discard_all();
}

} // namespace
