// The run view in the window against the chamber simulator: Tools > Run sequence (F6) asks for
// the file, shows its steps, runs them one exchange at a time with cyclic sending paused, shows
// the wait's progress and the run's alarm in the status line while it stands, ends with a
// readable verdict and resumes cyclic sending.
#include "link/rs232.h"
#include "tests/support/exchange_window.h"
#include "tests/support/sim_process.h"
#include "ui/ascii.h"
#include "ui/program.h"
#include "ui/qt/dispatch.h"
#include "ui/qt/run_dialog.h"
#include "ui/qt/run_step_model.h"
#include "ui/workbench.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace {

QString verdict(RunStepModel *model, int row) {
    return model->index(row, RunStepModel::VERDICT).data().toString();
}

TEST(WindowRun, RunsASequenceStepByStepWithCyclicSendingPausedAndItsAlarmShown) {
    SimProcess chamber({});
    ASSERT_TRUE(chamber.started());
    ASSERT_EQ(MapComPort(1, chamber.path().c_str()), 0);
    ui_load_main(1); // cyclic sending on
    ASSERT_EQ(open_workbench(main_panel), 0);
    QWidget *window = PanelWidget(main_panel);
    const std::string path =
        testing::TempDir() + "kelvra-view-" + std::to_string(getpid()) + ".seq";
    std::ofstream(path)
        << "chamber com1:1\n"
           "alarm A0 actual between 20 and 27\n"
           "send u0 300.0\n"
           "send d0 300.0\n"
           "send a0 030.0\n"
           "expect ok\n"
           "wait until A0 actual within 0.5 of set for 1 s, timeout 20 s, every 200 ms\n"
           "check A0 set == 30.0\n"
           "send a0 025.0\n"
           "wait until A0 actual within 0.5 of set, timeout 20 s, every 200 ms\n"
           "check A0 set == 99\n";

    QAction *open = nullptr;
    for (QAction *action : window->findChild<QMenuBar *>()->findChildren<QAction *>())
        if (action->shortcut() == QKeySequence(Qt::Key_F6)) open = action;
    ASSERT_NE(open, nullptr);
    through_file_dialog([&] { open->trigger(); }, path);
    RunDialog *dialog = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == QLatin1String("runDialog"))
            dialog = dynamic_cast<RunDialog *>(top);
    ASSERT_NE(dialog, nullptr);
    RunStepModel *steps = dialog->steps();
    ASSERT_EQ(steps->rowCount(), 11);
    EXPECT_EQ(steps->index(6, RunStepModel::STEP).data().toString(),
              "wait until A0 actual within 0.5 of set for 1 s, timeout 20 s, every 200 ms");

    auto *alarm = window->findChild<QLabel *>(QStringLiteral("alarmStatus"));
    ASSERT_NE(alarm, nullptr);
    EXPECT_FALSE(alarm->isVisible());
    EXPECT_TRUE(dispatch::tickWanted(dispatch::now()));
    dialog->startButton()->click();
    EXPECT_TRUE(dialog->running());
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->waitProgress()->value() > 0; }, 10000))
        << "the wait holds";
    EXPECT_FALSE(dispatch::tickWanted(dispatch::now()))
        << "cyclic sending pauses on the run's port";
    EXPECT_EQ(verdict(steps, 5), "pass");
    EXPECT_EQ(verdict(steps, 6), QStringLiteral("running \u2026"));
    EXPECT_TRUE(alarm->isVisible());
    EXPECT_EQ(alarm->text(), "Alarm: com1:1 A0 actual between 20 and 27");

    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->running(); }, 30000));
    const char *expected[] = {"pass", "",     "pass", "pass", "pass", "pass",
                              "pass", "pass", "pass", "pass", "FAIL"};
    for (int row = 0; row < 11; row++) EXPECT_EQ(verdict(steps, row), expected[row]) << row;
    EXPECT_EQ(steps->index(10, RunStepModel::DETAIL).data().toString(),
              "expected A0 set == 99, received \"A0 025.0 025.0\" (actual 25.0, set 25.0)");
    EXPECT_TRUE(dialog->status()->text().startsWith("10 steps: 9 passed, 1 failed, 0 errors"))
        << dialog->status()->text().toStdString();
    EXPECT_TRUE(dialog->status()->text().contains("alarms: 1 raised, 1 cleared"));
    EXPECT_EQ(dialog->alarmList()->count(), 2);
    EXPECT_FALSE(alarm->isVisible()) << "the run's alarm ended with it";
    EXPECT_TRUE(dispatch::tickWanted(dispatch::now())) << "cyclic sending resumes";

    const std::string report = path + ".xml";
    EXPECT_EQ(dialog->saveReport(QString::fromStdString(report)), 0);
    EXPECT_EQ(access(report.c_str(), R_OK), 0);
    dialog->close();
    (void)std::remove(report.c_str());
    (void)std::remove(path.c_str());
    ui_discard_all();
}

} // namespace
