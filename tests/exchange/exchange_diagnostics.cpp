// Why the answer failed, in the window: the status line and the lamp's tooltip after each
// exchange, and the line monitor with its rows, marks and statistics, against a scripted chamber.
#include "tests/support/exchange_window.h"
#include "ui/ascii.h"
#include "ui/program.h"
#include "ui/qt/monitor_model.h"
#include "ui/workbench.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(WindowDiagnostics, StatusLineLampAndLineMonitorTellWhy) {
    const std::string answer = ScriptedChamber::frame("A0 023.5 025.0");
    std::string rejected = answer;
    rejected[16] = char(rejected[16] ^ 0x35);
    ScriptedChamber chamber(
        [&](const std::string &, int index) { return index == 0 ? rejected : answer; });
    ASSERT_TRUE(chamber.ok());
    load_main_for_enter(chamber.path());
    ASSERT_EQ(open_workbench(main_panel), 0);
    QWidget *window = PanelWidget(main_panel);
    auto *status = window->findChild<QLabel *>(QStringLiteral("exchangeStatus"));
    ASSERT_NE(status, nullptr);
    const int width = window->width();

    press_enter();
    EXPECT_TRUE(status->text().startsWith(
        QStringLiteral("Pr\u00fcfsumme falsch: Byte 16 ergibt 0x35 \u00b7 letztes Byte nach ")))
        << status->text().toStdString();
    EXPECT_TRUE(
        status->text().endsWith(QStringLiteral(" ms \u00b7 6 Bytes gesendet, 18 empfangen")))
        << status->text().toStdString();
    EXPECT_EQ(ControlWidget(main_panel, LED)->toolTip(),
              QStringLiteral("Pr\u00fcfsumme falsch: Byte 16 ergibt 0x35"));

    press_enter();
    EXPECT_TRUE(
        status->text().startsWith(QStringLiteral("G\u00fcltige Antwort \u00b7 Umlaufzeit ")))
        << status->text().toStdString();
    EXPECT_EQ(ControlWidget(main_panel, LED)->toolTip(), QStringLiteral("G\u00fcltige Antwort"));
    EXPECT_EQ(window->width(), width) << "the status line never widens the window";

    // View > Line monitor, F2
    QAction *open = nullptr;
    for (QAction *action : window->findChild<QMenuBar *>()->findChildren<QAction *>())
        if (action->shortcut() == QKeySequence(Qt::Key_F2)) open = action;
    ASSERT_NE(open, nullptr);
    open->trigger();
    QWidget *monitor = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == QLatin1String("lineMonitor") && top->isVisible()) monitor = top;
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(monitor->windowTitle(), QStringLiteral("Leitungsmonitor"));
    QAbstractItemModel *rows = monitor->findChild<QTableView *>()->model();
    ASSERT_EQ(rows->rowCount(), 4) << "both exchanges, taken before the window opened";
    // the rejected answer's checksum byte and its ETX are marked, the valid answer is not
    EXPECT_EQ(rows->index(1, 5).data(MonitorModel::MarkRole).toPoint(), QPoint(48, 2));
    EXPECT_FALSE(rows->index(3, 5).data(MonitorModel::MarkRole).isValid());
    EXPECT_FALSE(rows->index(0, 5).data(MonitorModel::MarkRole).isValid());
    EXPECT_EQ(rows->index(0, 5).data().toString(), QStringLiteral("02 81 C1 B0 F0 03"));
    const QLabel *statistics = monitor->findChild<QLabel *>(QStringLiteral("statistics"));
    ASSERT_NE(statistics, nullptr);
    EXPECT_TRUE(statistics->text().startsWith(QStringLiteral(
        "Austausche: 2 \u00b7 G\u00fcltig 1 \u00b7 Pr\u00fcfsumme falsch 1 \u00b7 Umlaufzeit ")))
        << statistics->text().toStdString();

    // paused, an exchange is only counted as missed; cleared, nothing is left
    const auto button = [&](const char *text) {
        for (QPushButton *candidate : monitor->findChildren<QPushButton *>())
            if (candidate->text() == QLatin1String(text)) return candidate;
        return static_cast<QPushButton *>(nullptr);
    };
    ASSERT_NE(button("&Anhalten"), nullptr);
    button("&Anhalten")->click();
    press_enter();
    EXPECT_EQ(rows->rowCount(), 4);
    const QString missed =
        QStringLiteral("angehalten \u00b7 1 w\u00e4hrend der Pause nicht aufgenommen");
    EXPECT_TRUE(QTest::qWaitFor([&] { return statistics->text().endsWith(missed); }, 1000))
        << statistics->text().toStdString();
    ASSERT_NE(button("&Leeren"), nullptr);
    button("&Leeren")->click();
    EXPECT_EQ(rows->rowCount(), 0);
    EXPECT_TRUE(statistics->text().startsWith(QStringLiteral("Austausche: 0 ")));
    ui_discard_all();
}

} // namespace
