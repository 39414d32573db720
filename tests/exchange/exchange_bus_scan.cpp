// The bus scan dialog on the real main panel against a scripted chamber at address 2: answers
// appear as they come, Cancel ends the scan after the exchange in progress and gives the panel
// back as it was, cyclic sending included, and a double-click takes an address.
#include "exchange/scan.h"
#include "link/rs232.h"
#include "tests/support/exchange_window.h"
#include "ui/ascii.h"
#include "ui/program.h"
#include "ui/qt/bus_scan_dialog.h"
#include "ui/qt/dispatch.h"

#include <QPointer>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <qpa/qwindowsysteminterface.h>

#include <gtest/gtest.h>

namespace {

std::string answerAtTwo(const std::string &request, int) {
    if (request.size() < 2 || static_cast<unsigned char>(request[1]) != 0x82) return "";
    return ScriptedChamber::frame("A0 023.5 025.0", 2);
}

TEST(BusScan, CancelEndsItAfterTheExchangeInProgressAndRestoresThePanel) {
    ScriptedChamber chamber(answerAtTwo);
    ASSERT_TRUE(chamber.ok());
    ASSERT_EQ(MapComPort(1, chamber.path()), 0);
    ui_load_main(0); // cyclic sending on
    type_command("T");
    SetCtrlVal(main_panel, KAMMER, 9);

    QPointer<BusScanDialog> dialog;
    dispatch::whenIdle([&] { dialog = new BusScanDialog(PanelWidget(main_panel), 1, 32, 100); });
    ASSERT_TRUE(dialog);
    dialog->show();
    EXPECT_FALSE(dispatch::tickWanted(dispatch::now())) << "cyclic sending pauses";
    ASSERT_TRUE(QTest::qWaitFor([&] { return chamber.requests().size() >= 4; }, 5000));
    EXPECT_EQ(dialog->answers()->model()->rowCount(), 1) << "address 2 as soon as it answered";

    const size_t atCancel = chamber.requests().size();
    dispatch::holdTicks(true); // a run on the panel's port begins meanwhile
    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->scanning(); }, 1000));
    EXPECT_FALSE(dispatch::tickWanted(dispatch::now())) << "the run still holds them";
    dispatch::holdTicks(false);
    QTest::qWait(300);
    // cppcheck-suppress knownConditionTrueFalse ; the chamber's thread adds requests meanwhile
    EXPECT_EQ(chamber.requests().size(), atCancel) << "no exchange after the one in progress";
    EXPECT_EQ(chamber.requests().front(), ScriptedChamber::frame("A0", 1));
    EXPECT_EQ(ui_text(main_panel, SEND_STRING), "T");
    EXPECT_EQ(ui_int(main_panel, KAMMER), 9);
    EXPECT_TRUE(dispatch::tickWanted(dispatch::now())) << "cyclic sending resumes";
    EXPECT_EQ(history(ZEICHEN_GESENDET).size(), atCancel) << "the scan's exchanges are shown";

    QTableView *table = dialog->answers();
    EXPECT_EQ(table->model()->index(0, 0).data().toString(), "2");
    EXPECT_EQ(table->model()->index(0, 2).data().toString(), "A0 023.5 025.0");
    ui_double_click(table->viewport(), table->visualRect(table->model()->index(0, 1)).center());
    EXPECT_EQ(ui_int(main_panel, KAMMER), 2);

    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton); // now "Schließen"
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull());
    ui_discard_all();
}

// Address 1 trails its answer with a CR LF every 10 ms for 40 ms, address 2 takes 30 ms to answer:
// address 2's request goes out only once the line is quiet, and its record counts what was
// discarded meanwhile.
TEST(BusScan, FindsTheChamberAfterOneThatTrailsItsAnswer) {
    ui_init();
    ScriptedChamber chamber([](const std::string &request) {
        std::vector<std::pair<double, std::string>> parts;
        if (request[1] == '\x81')
            parts = {{0, ScriptedChamber::frame("A0 023.5 025.0", 1)},
                     {0.01, "\r\n"},
                     {0.01, "\r\n"},
                     {0.01, "\r\n"},
                     {0.01, "\r\n"}};
        if (request[1] == '\x82') parts = {{0.03, ScriptedChamber::frame("A0 040.0 040.0", 2)}};
        return parts;
    });
    ASSERT_EQ(MapComPort(1, chamber.path()), 0);
    ExchangeRequest request;
    request_init(&request, 1, 0, "A0", MODE_NO_FRAMING);
    BusScan scan;
    ASSERT_EQ(bus_scan_begin(&scan, &request, 1, 3, 100), 0);
    ExchangeRecord record;
    std::vector<int> answered;
    while (bus_scan_step(&scan, &record)) {
        if (record.answered) answered.push_back(record.address);
        EXPECT_TRUE(record.address != 2 || record.received.flushed > 0) << "nothing discarded";
    }
    EXPECT_EQ(answered, (std::vector<int>{1, 2}));
}

// A click on Cancel still held down when the scan is over does not close the result, whose
// answers show ESC from the line as the histories do.
TEST(BusScan, AClickBegunDuringTheScanDoesNotCloseTheResult) {
    ScriptedChamber chamber([](const std::string &request, int) {
        return request[1] == '\x82' ? ScriptedChamber::frame("A0 \x1b[2J", 2) : std::string();
    });
    ASSERT_EQ(MapComPort(1, chamber.path()), 0);
    ui_load_main(0);
    QPointer<BusScanDialog> dialog;
    dispatch::whenIdle([&] { dialog = new BusScanDialog(PanelWidget(main_panel), 1, 2, 100); });
    dialog->show();
    QTest::mousePress(dialog->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->scanning(); }, 3000));
    QTest::mouseRelease(dialog->cancelButton(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(dialog && dialog->isVisible()) << "the held click closed the result";
    EXPECT_EQ(dialog->answers()->model()->index(0, 2).data().toString().toStdString(),
              "A0 \u241b[2J");
    delete dialog;
    ui_discard_all();
}

// Esc as the window system queues it, during a probe of a silent bus: the scan ends at its next
// step, not after the last address, and the result stays open.
TEST(BusScan, EscDuringASilentScanEndsItAtTheNextStep) {
    ScriptedChamber chamber([](const std::string &, int) { return std::string(); });
    ASSERT_EQ(MapComPort(1, chamber.path()), 0);
    ui_load_main(0);
    QPointer<BusScanDialog> dialog;
    dispatch::whenIdle([&] { dialog = new BusScanDialog(PanelWidget(main_panel), 1, 32, 100); });
    dialog->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return chamber.requests().size() >= 3; }, 3000));
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease})
        QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
            dialog->windowHandle(), type, Qt::Key_Escape, Qt::NoModifier);
    const size_t atEsc = chamber.requests().size();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->scanning(); }, 1000)) << "ran on";
    EXPECT_LE(chamber.requests().size(), atEsc + 1);
    EXPECT_TRUE(dialog->isVisible());
    delete dialog;
    ui_discard_all();
}

} // namespace
