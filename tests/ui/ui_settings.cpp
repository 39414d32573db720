// What the window remembers between runs: changed, quit and started again; ignored with
// --no-settings; and settings files it cannot trust, which it neither uses nor writes over.
#include "tests/support/ui_harness.h"

#include "link/rs232.h"
#include "record/logging.h"
#include "ui/ascii.h"
#include "ui/program.h"
#include "ui/qt/settings.h"
#include "ui/qt/trend_window.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Runs the window with the options; in its event loop steps run, then Quit is clicked.
void runWindow(std::vector<const char *> args, const std::function<void(QWidget *)> &steps) {
    args.insert(args.begin(), "kelvra-ascii");
    args.push_back(nullptr);
    QTimer::singleShot(0, [&] {
        steps(PanelWidget(main_panel));
        QTest::mouseClick(ControlWidget(main_panel, ESC_BUTTON), Qt::LeftButton);
    });
    EXPECT_EQ(ascii_main(int(args.size()) - 1, const_cast<char **>(args.data())), 0);
    ui_discard_panels();
}

QWidget *view(const char *name) { // the line monitor by its name, the trend by its type
    for (QWidget *top : QApplication::topLevelWidgets())
        if (*name ? top->objectName() == QLatin1String(name) : !!dynamic_cast<TrendWindow *>(top))
            return top;
    return nullptr;
}

QByteArray contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

std::vector<int> portAddressMode() {
    return {ui_int(main_panel, RING_COM), ui_int(main_panel, KAMMER),
            ui_int(main_panel, RINGSLIDE)};
}

TEST(Remembered, PortAddressModePlacesAndViewsComeBackButNotWithNoSettings) {
    ui_init();
    QPoint firstPlace;
    QRect trendPlace;
    runWindow({}, [&](QWidget *window) {
        firstPlace = window->pos();
        SetCtrlVal(main_panel, RING_COM, 3);
        SetCtrlVal(main_panel, KAMMER, 7);
        SetCtrlVal(main_panel, RINGSLIDE, 2);
        window->move(firstPlace + QPoint(0, -12)); // the panel is as wide as the offscreen screen
        window->activateWindow(); // a shortcut of the window reaches only the active one
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_F2);
        QTest::keyClick(window, Qt::Key_F3);
        view("")->setGeometry(60, 50, 620, 400);
        trendPlace = view("")->geometry();
    });
    const QString log = QFileInfo(Settings::fileName()).absolutePath() + "/chamber.csv";
    QSettings(Settings::fileName(), QSettings::IniFormat).setValue("log/file", log); // its menu's
    QSettings(Settings::fileName(), QSettings::IniFormat).setValue("ports/com2", "/dev/remembered");
    QSettings(Settings::fileName(), QSettings::IniFormat).setValue("ports/com4", "/dev/lost");
    runWindow({"--map", "com4=/dev/given"}, [&](QWidget *window) {
        EXPECT_EQ(portAddressMode(), (std::vector<int>{3, 7, 2}));
        EXPECT_EQ(window->pos(), firstPlace + QPoint(0, -12));
        EXPECT_TRUE(view("lineMonitor") && view("lineMonitor")->isVisible());
        EXPECT_EQ(view("")->geometry(), trendPlace);
        EXPECT_STREQ(ComPortDevice(2), "/dev/remembered");
        EXPECT_STREQ(ComPortDevice(4), "/dev/given");
    });
    EXPECT_EQ(QFile::decodeName(logging_path()), log); // quitting stops nothing
    stop_logging();

    const QByteArray remembered = contents(Settings::fileName());
    runWindow({"--no-settings"}, [&](QWidget *window) {
        EXPECT_EQ(portAddressMode(), (std::vector<int>{1, 1, 1}));
        EXPECT_EQ(window->pos(), firstPlace);
        EXPECT_FALSE(view("lineMonitor") || view("")->isVisible() || logging_path());
        SetCtrlVal(main_panel, RING_COM, 5);
    });
    EXPECT_EQ(contents(Settings::fileName()), remembered);
}

TEST(Remembered, AFileItCannotTrustIsIgnoredWithOneLineAndLeftAsItIs) {
    ui_init();
    const QString path = Settings::fileName();
    const struct {
        const char *what;
        QByteArray text;   // empty: a folder in the file's place
        const char *cause; // null: no line; values that do not fit are defaults too
    } cases[] = {
        {"garbage", "[panel\nport=3\n", "a line is neither a [section] nor a key=value"},
        {"binary", QByteArray("[panel]\nport=3\n\0\xff", 17), "it is not text"},
        {"a folder", "", "it is a folder"},
        {"too large", "[panel]\nport=3\n" + QByteArray(1 << 20, ';'), "it is larger than 1 MiB"},
        {"out of range",
         "[panel]\nport=99\naddress=0\nmode=7\n[window]\nposition=@Point(5000 -400)\n", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QDir().mkpath(c.text.isEmpty() ? path : QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(c.text.isEmpty() ||
                    (file.open(QIODevice::WriteOnly) && file.write(c.text) == c.text.size()));
        file.close();
        testing::internal::CaptureStderr();
        runWindow({}, [](QWidget *window) {
            EXPECT_EQ(portAddressMode(), (std::vector<int>{1, 1, 1}));
            const QRect room = window->screen()->availableGeometry();
            EXPECT_TRUE(room.contains(window->frameGeometry().topLeft()));
            SetCtrlVal(main_panel, RING_COM, 4);
        });
        const QString line = "kelvra-ascii: ignoring the settings file " + path + ": " + c.cause;
        const QString said = QString::fromStdString(testing::internal::GetCapturedStderr());
        EXPECT_EQ(said.split('\n').filter("kelvra-ascii"), // not the offscreen platform's lines
                  c.cause ? QStringList{line} : QStringList{});
        if (c.cause) { // not written over
            EXPECT_EQ(contents(path), c.text.isEmpty() ? "(none)" : c.text);
        }
        EXPECT_TRUE(QFile::remove(path) || QDir(path).removeRecursively());
    }
}

} // namespace
