// Timer ticks of SCANNER: the toggle suspends and resumes them, one callback runs at a time,
// and the period stays on its 2.0 s grid through long callbacks and message boxes.
#include "tests/support/ui_harness.h"

#include "ui/ascii.h"
#include "ui/program.h"
#include "ui/qt/controls.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::vector<double> ticks; // seconds since the test's start
Clock::time_point started;
bool blocking;   // a blocking callback is running
int ticksInside; // ticks delivered while it ran

double seconds() {
    return std::chrono::duration<double>(Clock::now() - started).count();
}

int recordTick(int, int control, int event, void *, int, int) {
    if (event != EVENT_TIMER_TICK || control != SCANNER) return 0;
    ticks.push_back(seconds());
    if (blocking) ticksInside++;
    return 0;
}

class Ticks : public ::testing::Test {
protected:
    void SetUp() override {
        ui_init();
        ticks.clear();
        blocking = false;
        ticksInside = 0;
        started = Clock::now();
    }
    void TearDown() override { ui_discard_all(); }
};

// Each tick's distance from the first in whole periods; fails for a tick off the 2.0 s grid.
std::vector<long> gridPlaces() {
    std::vector<long> places;
    for (double tick : ticks) {
        const double periods = (tick - ticks.front()) / 2.0;
        EXPECT_NEAR(periods, std::round(periods), 0.2) << "tick at " << tick << " s";
        places.push_back(std::lround(periods));
    }
    return places;
}

bool waitForTicks(size_t count, int milliseconds) {
    return QTest::qWaitFor([count] { return ticks.size() >= count; }, milliseconds);
}

TEST_F(Ticks, ToggleSuspendsAndResumesTickDelivery) {
    ui_load_main(0, {{"TIMER", recordTick}});
    auto *toggle = ui_widget<ToggleSwitch>(main_panel, TOGGLEBUTTON);
    ASSERT_TRUE(waitForTicks(1, 3000));

    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_EQ(ui_int(main_panel, TOGGLEBUTTON), 0);
    const size_t before = ticks.size();
    QTest::qWait(2600);
    EXPECT_EQ(ticks.size(), before);

    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_EQ(ui_int(main_panel, TOGGLEBUTTON), 1);
    EXPECT_TRUE(waitForTicks(before + 1, 2600));
    gridPlaces(); // resumed at the same interval and phase
}

int showMessage(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    QTimer::singleShot(2600, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Ok)->click();
    });
    blocking = true;
    MessagePopup("RS-232 Message", "the port cannot be opened");
    blocking = false;
    return 0;
}

int blockThread(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    blocking = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2600));
    blocking = false;
    return 0;
}

TEST_F(Ticks, ATickThatFallsDueDuringACallbackIsDroppedAndTheGridKept) {
    const struct {
        const char *name;
        CtrlCallbackPtr callback;
    } cases[] = {{"message box", showMessage}, {"blocking callback", blockThread}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ticks.clear();
        ticksInside = 0;
        ui_load_main(0, {{"TIMER", recordTick}, {"QUIT", c.callback}});
        ASSERT_TRUE(waitForTicks(1, 3000));
        // the callback runs from just after tick 0 past the tick due at 2.0 s
        QTest::mouseClick(ControlWidget(main_panel, ESC_BUTTON), Qt::LeftButton);
        const double ended = seconds();
        EXPECT_GT(ended - ticks.front(), 2.4);
        ASSERT_TRUE(waitForTicks(2, 2500));
        EXPECT_EQ(ticksInside, 0);
        EXPECT_EQ(gridPlaces(), (std::vector<long>{0, 2})); // no late tick, no burst
        ui_discard_all();
    }
}

} // namespace
