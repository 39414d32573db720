// One exchange at a time, seen from the chamber's side of the line: neither ticks nor Enter
// start an exchange while another one runs, not even from the event loop of a message box held
// open for several ticks. The scripted chamber records every frame and when it came. Input the
// window system queued meanwhile survives the boxes.
#include "link/rs232.h"
#include "tests/support/exchange_window.h"
#include "ui/ascii.h"
#include "ui/program.h"

#include <QLineEdit>
#include <QTest>
#include <qpa/qwindowsysteminterface.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

const char *const MISSING = "/nonexistent/kelvra-line";

// When each timer-driven exchange started and ended, by the panel title it shows meanwhile.
class TickSpans : public QObject {
public:
    TickSpans() {
        connect(PanelWidget(main_panel), &QWidget::windowTitleChanged, this,
                [this](const QString &title) {
                    (title == QLatin1String("Scanning") ? starts : ends)
                        .push_back(std::chrono::steady_clock::now());
                });
    }
    std::vector<SteadyTime> starts, ends;
};

// Every request is the whole, well-formed frame of "A0" to chamber 1, with nothing between.
void expectOnlyWholeA0Frames(const ScriptedChamber &chamber) {
    const std::vector<std::string> requests = chamber.requests();
    std::string all;
    for (const std::string &request : requests) {
        EXPECT_EQ(request, ScriptedChamber::frame("A0"));
        all += request;
    }
    EXPECT_EQ(chamber.line(), all);
}

class Reentrancy : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(chamber.ok());
        ui_init();
    }
    void TearDown() override { ui_discard_all(); }

    ScriptedChamber chamber{[this](const std::string &request, int index) {
        return answer ? answer(request, index) : ScriptedChamber::echo(request, index);
    }};
    ScriptedChamber::Answer answer; // set before the first tick, read on the chamber's thread
};

TEST_F(Reentrancy, AMessageBoxHeldAcrossThreeTicksLetsNoSecondExchangeStart) {
    // The first tick's open fails; its box stays up across the ticks due at 4, 6 and 8 s, while
    // com1 is pointed at the chamber and Enter is pressed, so that any exchange started
    // meanwhile would reach the chamber.
    ASSERT_EQ(MapComPort(1, MISSING), 0);
    MessageBoxCatcher catcher([](size_t index) { return index == 0 ? 6500 : 50; });
    ui_load_main(0);
    InsertionLog received(ZEICHEN_EMPFANGEN);
    bool acted = false;
    QTimer duringTheBox;
    QObject::connect(&duringTheBox, &QTimer::timeout, [&] {
        if (acted || catcher.boxes.size() != 1) return;
        acted = true;
        MapComPort(1, chamber.path());
        QTimer::singleShot(
            1000, [] { QTest::keyClick(ControlWidget(main_panel, SEND_STRING), Qt::Key_Return); });
    });
    duringTheBox.start(10);

    ASSERT_TRUE(QTest::qWaitFor([&] { return received.times.size() >= 2; }, 20000));

    // only the first exchange showed boxes: the open's, held, and the write's
    ASSERT_EQ(catcher.boxes.size(), 2u);
    for (const auto &box : catcher.boxes) EXPECT_EQ(box.title, "RS-232 Message");
    const auto &held = catcher.boxes[0];
    EXPECT_GE(std::chrono::duration<double>(held.dismissed - held.shown).count(), 6.0);
    expectOnlyWholeA0Frames(chamber);
    const std::vector<SteadyTime> arrived = chamber.arrived();
    ASSERT_GE(arrived.size(), 2u);
    EXPECT_GT(arrived[0], catcher.boxes[1].dismissed)
        << "a request reached the line while the first exchange showed its messages";
    for (size_t i = 1; i < arrived.size() && i <= received.times.size(); i++)
        EXPECT_GT(arrived[i], received.times[i - 1]) << "request " << i << " came too early";
    EXPECT_EQ(history(ZEICHEN_GESENDET).size(), 1 + arrived.size());
}

TEST_F(Reentrancy, EnterPressedWhileATimerExchangeRunsWaitsForItsEnd) {
    // The tick's request presses Enter in the window, then the chamber takes 0.3 s to answer:
    // an exchange started by that Enter before the tick's ended would write its frame meanwhile.
    std::atomic<QWidget *> field = nullptr;
    answer = [&](const std::string &request, int index) {
        if (index == 0) {
            QWidget *target = field;
            QMetaObject::invokeMethod(
                target, [target] { QTest::keyClick(target, Qt::Key_Return); },
                Qt::QueuedConnection);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        return ScriptedChamber::echo(request, index);
    };
    ASSERT_EQ(MapComPort(1, chamber.path()), 0);
    ui_load_main(0);
    const std::string title = ui_title(main_panel);
    field = ControlWidget(main_panel, SEND_STRING);
    TickSpans spans;
    InsertionLog sent(ZEICHEN_GESENDET), received(ZEICHEN_EMPFANGEN);

    ASSERT_TRUE(QTest::qWaitFor([&] { return received.times.size() >= 2; }, 6000));
    SuspendTimerCallbacks();

    expectOnlyWholeA0Frames(chamber);
    const std::vector<SteadyTime> arrived = chamber.arrived(), answered = chamber.answered();
    ASSERT_EQ(arrived.size(), 2u);
    ASSERT_GE(spans.ends.size(), 1u);
    EXPECT_GT(arrived[1], answered[0]);
    EXPECT_GT(arrived[1], spans.ends[0]) << "Enter's exchange began inside the tick's";
    EXPECT_EQ(sent.titles, (std::vector<std::string>{"Scanning", title}));
    EXPECT_EQ(ui_int(main_panel, LED), 1);
}

TEST_F(Reentrancy, InputQueuedBeforeAnExchangesBoxesReachesTheWindowAfterThem) {
    // Keys as the window system queues them, which the waits leave queued: Return starts an
    // exchange on a missing port, whose boxes come before the "x" and the second Return are read.
    ASSERT_EQ(MapComPort(1, MISSING), 0);
    MessageBoxCatcher catcher;
    ui_load_main(0);
    SuspendTimerCallbacks();
    QWidget *window = PanelWidget(main_panel);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    auto *field = ui_widget<QLineEdit>(main_panel, SEND_STRING);
    field->setFocus();
    field->setText("A0");
    for (const auto &[key, text] :
         {std::pair{Qt::Key_Return, "\r"}, {Qt::Key_X, "x"}, {Qt::Key_Return, "\r"}})
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease})
            QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
                window->windowHandle(), type, key, Qt::NoModifier, QString::fromLatin1(text));

    ASSERT_TRUE(QTest::qWaitFor([] { return history(ZEICHEN_GESENDET).size() >= 2; }, 8000))
        << "the second Return was lost behind the first exchange's boxes";
    EXPECT_EQ(field->text().toStdString(), "A0x");
    EXPECT_EQ(history(ZEICHEN_GESENDET), (std::vector<std::string>{"A0x", "A0"}));
    EXPECT_EQ(catcher.boxes.size() % 2, 0u) << "each exchange showed the open's and the write's";
}

} // namespace
