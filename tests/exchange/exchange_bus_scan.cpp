// The bus scan dialog on the real main panel against a scripted chamber at address 2: answers
// appear as they come, Cancel ends the scan after the exchange in progress and gives the panel
// back as it was, cyclic sending included, and a double-click takes an address.
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

} // namespace
