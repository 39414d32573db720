// The log and the histories in the window: File > Record log (Ctrl+L) starts and stops the log
// shown in the status line, a failed write leaves no half row and stops the log with a box while
// the exchanges go on, and the histories copy and save their entries whole.
#include "tests/support/exchange_window.h"

#include "record/logging.h"
#include "ui/ascii.h"
#include "ui/program.h"
#include "ui/workbench.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

namespace {

std::string slurp(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The main window's menu item, status line part or box that shows text.
template <class T>
T *find(const QString &text) {
    for (QWidget *window : QApplication::topLevelWidgets())
        for (T *found : window->findChildren<T *>())
            if (found->text().remove(QLatin1Char('&')).contains(text)) return found;
    return nullptr;
}

QString entry(int list, int index) {
    return QString::fromLatin1(ui_label(main_panel, list, index).c_str());
}

TEST(WindowLog, RecordsWhileOnCopiesAndSavesTheHistoriesAndStopsWhenTheFileFails) {
    ScriptedChamber chamber;
    load_main_for_enter(chamber.path());
    ASSERT_EQ(open_workbench(main_panel), 0);
    QWidget *window = PanelWidget(main_panel);
    const std::string name = "kelvra-window-" + std::to_string(getpid());
    const std::string path = testing::TempDir() + name + ".csv", saved = path + ".txt";
    const struct Cleanup { // whatever the test's end, it leaves no file behind
        std::string files[2];
        ~Cleanup() {
            for (const std::string &file : files) (void)std::remove(file.c_str());
        }
    } cleanup{{path, saved}};

    window->activateWindow(); // for its shortcuts
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    through_file_dialog([&] { QTest::keyClick(window, Qt::Key_L, Qt::ControlModifier); }, path);
    QLabel *status = find<QLabel>(QString::fromStdString("Protokoll: " + name + ".csv"));
    ASSERT_TRUE(status && status->isVisible());
    choose_mode(2);
    type_command("a0 030.0");
    press_enter();
    const std::string logged = slurp(path);
    EXPECT_NE(logged.find(",ok,"), std::string::npos) << logged;
    EXPECT_NE(logged.find("\xC3\xA4ndern"), std::string::npos) << "UTF-8 in the file";

    find<QAction>("Protokoll aufzeichnen")->trigger(); // the same item stops it
    EXPECT_FALSE(status->isVisible());
    press_enter();
    EXPECT_EQ(slurp(path), logged) << "stopped";

    // Ctrl+C copies the selected entry as the core reads it, the menu the whole history
    auto *sent = ui_widget<QListWidget>(main_panel, ZEICHEN_GESENDET);
    sent->setCurrentRow(1);
    QTest::keyClick(sent, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), entry(ZEICHEN_GESENDET, 1));
    emit sent->customContextMenuRequested(QPoint(2, 2));
    find<QAction>("Verlauf kopieren")->trigger();
    QApplication::activePopupWidget()->close();
    const QString both = entry(ZEICHEN_GESENDET, 0) + "\n" + entry(ZEICHEN_GESENDET, 1) + "\n";
    EXPECT_EQ(QApplication::clipboard()->text(), both);
    through_file_dialog([] { find<QAction>("Verl\u00e4ufe speichern")->trigger(); }, saved);
    EXPECT_EQ(QString::fromUtf8(slurp(saved)), "Zeichen gesendet (neueste zuerst)\n" + both +
                                                   "\nZeichen empfangen (neueste zuerst)\n" +
                                                   entry(ZEICHEN_EMPFANGEN, 0) + "\n" +
                                                   entry(ZEICHEN_EMPFANGEN, 1) + "\n");

    // the file can take only part of a row: none of it stays, a box names the file and the
    // cause, and the exchanges go on unlogged
    ASSERT_EQ(record_log(path.c_str()), 0);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit full = {logged.size() + 40, limit.rlim_max};
    (void)signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &full);
    press_enter();
    setrlimit(RLIMIT_FSIZE, &limit);
    (void)signal(SIGXFSZ, SIG_DFL);
    auto *box = find<QMessageBox>(QString::fromStdString(path));
    ASSERT_TRUE(box && box->isVisible());
    EXPECT_TRUE(box->text().contains("die Datei ist zu gro\u00df (File too large)"))
        << box->text().toStdString();
    EXPECT_EQ(slurp(path), logged);
    EXPECT_EQ(logging_path(), nullptr);
    EXPECT_FALSE(status->isVisible());
    press_enter();
    EXPECT_EQ(history(ZEICHEN_GESENDET).size(), 4u) << "every Enter ran its exchange";
    delete box;

    // a log moved away is begun anew, which the status line says
    ASSERT_EQ(record_log(path.c_str()), 0);
    ASSERT_EQ(std::rename(path.c_str(), saved.c_str()), 0);
    press_enter();
    EXPECT_TRUE(status->text().contains("neu begonnen")) << status->text().toStdString();
    EXPECT_EQ(slurp(path).rfind("time,", 0), 0u);
    stop_logging();
    ui_discard_all();
}

} // namespace
