// The histories over many exchanges: at most 12 entries, the newest on top and selected.
#include "tests/support/exchange_window.h"
#include "ui/ascii.h"
#include "ui/program.h"

#include <gtest/gtest.h>

namespace {

TEST(History, ThirteenExchangesLeaveTheTwelveNewestWithTheNewestSelected) {
    ScriptedChamber chamber; // answers each command with itself
    ASSERT_TRUE(chamber.ok());
    load_main_for_enter(chamber.path());

    std::vector<std::string> newestFirst;
    for (int n = 1; n <= 13; n++) {
        SCOPED_TRACE(n);
        const std::string command = std::string("m").append(std::to_string(n));
        type_command(command);
        press_enter();

        newestFirst.insert(newestFirst.begin(), command);
        if (newestFirst.size() > 12) newestFirst.pop_back();
        for (int list : {ZEICHEN_GESENDET, ZEICHEN_EMPFANGEN}) {
            EXPECT_EQ(history(list), newestFirst);
            EXPECT_EQ(selected(list), 0);
        }
    }
    ui_discard_all();
}

} // namespace
