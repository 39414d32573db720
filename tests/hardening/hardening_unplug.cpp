// A chamber that vanishes in the middle of its answer and comes back on the same path: the
// operator gets an "RS-232 Message", nothing crashes, and the first exchange after its return
// works.
#include "tests/support/exchange_window.h"
#include "tests/support/sim_process.h"
#include "ui/ascii.h"
#include "ui/program.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

// A chamber simulator on a new pseudo-terminal that the symbolic link path points to.
std::unique_ptr<SimProcess> chamber_at(const std::string &path, std::vector<std::string> options) {
    options.insert(options.begin(), {"--link", path});
    return std::make_unique<SimProcess>(options);
}

TEST(Unplug, AChamberKilledMidAnswerGivesAMessageAndAnswersAgainOnceRestarted) {
    char directory[] = "/tmp/kelvra-unplug-XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    const std::string link = std::string(directory) + "/line";
    // the second answer's 18 bytes go out one per 0.1 s, so a kill after 1 s cuts it off
    std::unique_ptr<SimProcess> sim =
        chamber_at(link, {"--fault", "slow", "--fault-every", "2", "--byte-gap", "100"});
    ASSERT_TRUE(sim->started()) << sim->stderr_text();
    load_main_for_enter(link.c_str());
    press_enter();
    ASSERT_EQ(ui_int(main_panel, LED), 1);
    const std::vector<std::string> received = history(ZEICHEN_EMPFANGEN);

    {
        MessageBoxCatcher catcher;
        std::thread killer([&] {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            sim->stop(SIGKILL); // its link stays behind, pointing nowhere
        });
        press_enter();
        killer.join();
        ASSERT_EQ(catcher.boxes.size(), 1u);
        EXPECT_EQ(catcher.boxes[0].title, "RS-232 Message");
        EXPECT_NE(catcher.boxes[0].text.find(link), std::string::npos) << catcher.boxes[0].text;
        EXPECT_NE(catcher.boxes[0].text.find("removed while open"), std::string::npos)
            << catcher.boxes[0].text;
    }
    EXPECT_EQ(ui_int(main_panel, LED), 0);
    EXPECT_EQ(history(ZEICHEN_EMPFANGEN), received);
    {
        MessageBoxCatcher catcher; // unplugged: the open fails, then the read
        press_enter();
        EXPECT_EQ(catcher.boxes.size(), 2u);
    }

    sim = chamber_at(link, {}); // replaces the stale link
    ASSERT_TRUE(sim->started()) << sim->stderr_text();
    MessageBoxCatcher catcher;
    press_enter();
    EXPECT_TRUE(catcher.boxes.empty());
    EXPECT_EQ(ui_int(main_panel, LED), 1);
    const std::vector<std::string> now = history(ZEICHEN_EMPFANGEN);
    ASSERT_EQ(now.size(), 2u);
    EXPECT_EQ(now[0].substr(0, 3), "A0 ");
    EXPECT_EQ(history(ZEICHEN_GESENDET).size(), 4u);

    ui_discard_all();
    EXPECT_EQ(sim->stop(), 0) << sim->stderr_text();
    rmdir(directory);
}

} // namespace
