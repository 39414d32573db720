// The window stays alive while an exchange waits on a silent line: timers fire and the panel
// repaints, while the operator's Enter waits for the exchange's end and a tick that falls due
// meanwhile is dropped. Every callback is timed, so an overlap would show.
#include "link/rs232.h"
#include "tests/support/exchange_window.h"
#include "ui/ascii.h"
#include "ui/callbacks.h"
#include "ui/program.h"

#include <QEvent>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

struct Span {
    const char *callback;
    SteadyTime start, end;
};
std::vector<Span> spans;

template <CtrlCallbackPtr callback>
int timed(int panel, int control, int event, void *data, int data1, int data2) {
    Span span{callback == SENDEN ? "SENDEN" : "TIMER", std::chrono::steady_clock::now(), {}};
    callback(panel, control, event, data, data1, data2);
    span.end = std::chrono::steady_clock::now();
    spans.push_back(span);
    return 0;
}

double seconds(SteadyTime from, SteadyTime to) {
    return std::chrono::duration<double>(to - from).count();
}

// Counts the paints of a widget.
class PaintCount : public QObject {
public:
    explicit PaintCount(QWidget *widget) { widget->installEventFilter(this); }
    std::vector<SteadyTime> times;

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint) times.push_back(std::chrono::steady_clock::now());
        return false;
    }
};

TEST(Responsive, AnExchangeOnASilentLineKeepsTheWindowAliveAndHoldsItsInputBack) {
    // The first tick (at 2 s) runs its exchange; 1 s after it Enter starts one that waits 1 s on
    // the silent line (the wait after Enter, then the read's time-out), across the tick due at
    // 4 s. 0.2 s into it Enter is pressed again; that exchange must follow the first one. The
    // address's up arrow is held down from the start: its auto-repeat must not step meanwhile.
    ScriptedChamber chamber([](const std::string &, int) { return std::string(); });
    ASSERT_TRUE(chamber.ok());
    ui_init();
    ASSERT_EQ(MapComPort(1, chamber.path()), 0);
    spans.clear();
    ui_load_main(0, {{"SENDEN", timed<SENDEN>}, {"TIMER", timed<TIMER>}});
    QWidget *panel = PanelWidget(main_panel);
    PaintCount paints(panel);

    std::vector<SteadyTime> beats;
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        beats.push_back(std::chrono::steady_clock::now());
        panel->update();
    });
    heartbeat.start(10);
    ASSERT_TRUE(QTest::qWaitFor([] { return !spans.empty(); }, 4000));
    QTest::qWait(1000);
    QTimer::singleShot(
        200, [] { QTest::keyClick(ControlWidget(main_panel, SEND_STRING), Qt::Key_Return); });
    auto *up = ControlWidget(main_panel, KAMMER)->findChild<QToolButton *>();
    ASSERT_NE(up, nullptr);
    QTest::mousePress(up, Qt::LeftButton);
    press_enter(); // returns after both Enter exchanges
    EXPECT_EQ(ui_int(main_panel, KAMMER), 1) << "the held arrow stepped during the exchanges";
    QTest::mouseRelease(up, Qt::LeftButton);
    heartbeat.stop();
    SuspendTimerCallbacks();

    ASSERT_EQ(spans.size(), 3u);
    EXPECT_STREQ(spans[0].callback, "TIMER");
    EXPECT_STREQ(spans[1].callback, "SENDEN");
    EXPECT_STREQ(spans[2].callback, "SENDEN") << "the Enter pressed during an exchange was lost";
    for (size_t i = 1; i < spans.size(); i++)
        EXPECT_GE(spans[i].start, spans[i - 1].end) << "callback " << i << " overlapped";
    const Span &waiting = spans[1];
    const SteadyTime tickDue = spans[0].start + std::chrono::seconds(2);
    EXPECT_TRUE(waiting.start < tickDue && tickDue < waiting.end)
        << "no tick fell due during the exchange";
    EXPECT_EQ(chamber.requests().size(), 3u);

    double longestGap = 0;
    size_t paintsInside = 0;
    for (size_t i = 1; i < beats.size(); i++)
        if (beats[i] > waiting.start && beats[i - 1] < waiting.end)
            longestGap = std::max(longestGap, seconds(beats[i - 1], beats[i]));
    for (const SteadyTime &paint : paints.times)
        paintsInside += paint > waiting.start && paint < waiting.end;
    EXPECT_LT(longestGap, 0.25) << "the event loop stalled during the exchange";
    EXPECT_GT(paintsInside, 10u);
    ui_discard_all();
}

} // namespace
