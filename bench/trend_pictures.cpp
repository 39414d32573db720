// Takes the trend's pictures for the README: the simulator's chamber model answering "A0" every
// 2 s while channel 0 ramps toward a new set value, in the 10-minute view with its ticks at
// round clock times, under a light and a dark palette. The answers are the simulator's own
// (sim/answer.h) on a virtual clock, so the pictures take a second, not minutes.
//   QT_QPA_PLATFORM=offscreen trend_pictures [FOLDER]
// writes FOLDER/trend.png and FOLDER/trend-dark.png (default: docs).
#include "tests/support/answer_record.h"

#include "display/format.h"
#include "record/record.h"
#include "sim/answer.h"
#include "ui/qt/trend_window.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QStyle>

#include <cstdio>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    Fremdsprache = 1;

    TrendWindow trend;
    trend.setSpan(TrendWindow::TenMinutes);
    trend.show();
    const long long startMs = QDateTime(QDate(2025, 3, 14), QTime(11, 41, 13)).toMSecsSinceEpoch();
    Chamber chamber;
    chamber_init(&chamber, startMs / 1000, 0);
    char answer[ANSWER_SIZE];
    const char *why = nullptr;
    for (int second = 0; second <= 7 * 60; second += 2) {
        if (second == 80) answer_request(&chamber, 1, "a0 030.0", second, answer, &why);
        if (answer_request(&chamber, 1, "A0", second, answer, &why) < 0) {
            std::fprintf(stderr, "trend_pictures: no answer: %s\n", why);
            return 1;
        }
        const auto record = answer_record("A0", answer, startMs + second * 1000LL);
        record->port = 1; // the chamber at com1:1, as the chooser names it
        record->address = 1;
        publish_exchange(record.get());
    }

    const struct {
        const char *file;
        QPalette palette;
    } pictures[] = {
        {"trend.png", QApplication::style()->standardPalette()},
        {"trend-dark.png", QPalette(QColor(53, 53, 53))},
    };
    for (const auto &picture : pictures) {
        QApplication::setPalette(picture.palette);
        QApplication::processEvents();
        trend.refresh();
        QApplication::processEvents();
        const QString path = QDir(folder).filePath(QString::fromLatin1(picture.file));
        if (!trend.grab().save(path, "PNG")) { // the window: its buttons too
            std::fprintf(stderr, "trend_pictures: cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("trend_pictures: wrote %s\n", qPrintable(path));
    }
    return 0;
}
