// The trend window: opened by F3 from the main window, drawing what the records of A reads
// carry; pause, span, clear and the two exports.
#include "tests/support/answer_record.h"
#include "tests/support/ui_harness.h"

#include "ui/program.h"
#include "ui/qt/trend_window.h"
#include "ui/workbench.h"

#include <QChart>
#include <QChartView>
#include <QFile>
#include <QImage>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class Trend : public ::testing::Test {
protected:
    void SetUp() override { ui_init(); }
    void TearDown() override { ui_discard_all(); }
};

const long long AT = 1700000000000;

// The points each series draws, series in the chart's order.
std::vector<int> drawn(const TrendWindow &window) {
    std::vector<int> counts;
    for (QAbstractSeries *series : window.chart()->series())
        counts.push_back((int)static_cast<QLineSeries *>(series)->count());
    return counts;
}

TEST_F(Trend, F3OpensItAndEachChannelGetsAColourWithItsSetValueDashed) {
    ASSERT_GT(ui_load_main(1), 0);
    open_workbench(main_panel);
    QWidget *window = PanelWidget(main_panel);
    TrendWindow *trend = nullptr; // no meta-object of its own: found by its C++ type
    for (QWidget *child : window->findChildren<QWidget *>())
        if (auto *found = dynamic_cast<TrendWindow *>(child)) trend = found;
    ASSERT_NE(trend, nullptr);
    EXPECT_FALSE(trend->isVisible());
    publish_exchange(answer_record("A0", "A0 023.5 025.0", AT).get()); // collected while hidden

    window->activateWindow(); // a shortcut of the window reaches only the active one
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_F3);
    ASSERT_TRUE(trend->isVisible());
    EXPECT_EQ(trend->windowTitle(), "Trend");
    publish_exchange(answer_record("A0", "A0 023.9 025.0", AT + 2000).get());
    publish_exchange(answer_record("A1", "A1 045.0 050.0", AT + 4000).get());
    trend->refresh();

    EXPECT_EQ(drawn(*trend), (std::vector<int>{2, 2, 1, 1}));
    const char *names[] = {"Channel 0 actual", "Channel 0 set", "Channel 1 actual",
                           "Channel 1 set"};
    QColor colours[4];
    for (int i = 0; i < 4; i++) {
        const auto *series = static_cast<QLineSeries *>(trend->chart()->series()[i]);
        EXPECT_EQ(series->name(), names[i]);
        EXPECT_EQ(series->pen().style(), i % 2 ? Qt::DashLine : Qt::SolidLine) << names[i];
        colours[i] = series->pen().color();
    }
    EXPECT_TRUE(colours[0] == colours[1] && colours[1] != colours[2] && colours[2] == colours[3]);
}

TEST_F(Trend, PauseFreezesTheViewSpanChoosesThePointsAndExportsWriteThem) {
    TrendWindow trend;
    trend.show();
    publish_exchange(answer_record("A0", "A0 020.0 025.0", AT).get());
    publish_exchange(answer_record("A0", "A0 021.0 025.0", AT + 15 * 60000LL).get());
    trend.setSpan(TrendWindow::All);
    EXPECT_EQ(drawn(trend), (std::vector<int>{2, 2}));
    trend.setSpan(TrendWindow::TenMinutes);
    EXPECT_EQ(drawn(trend), (std::vector<int>{1, 1}));

    trend.setSpan(TrendWindow::OneHour);
    trend.setPaused(true);
    publish_exchange(answer_record("A0", "A0 022.0 025.0", AT + 16 * 60000LL).get());
    trend.refresh();
    EXPECT_EQ(drawn(trend), (std::vector<int>{2, 2})) << "the view stays as it was";
    EXPECT_EQ(trend.store()->added, 3) << "while the points are still collected";

    QTemporaryDir dir;
    const QString csvPath = dir.filePath("trend.csv"), pngPath = dir.filePath("trend.png");
    ASSERT_TRUE(trend.saveCsv(csvPath));
    QFile csv(csvPath);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().count('\n'), 3) << "the header and the two points shown";
    ASSERT_TRUE(trend.savePng(pngPath));
    EXPECT_EQ(QImage(pngPath).size(), trend.findChild<QChartView *>()->size());
    QString csvFailure, pngFailure; // why, in the panel's language, with the system's words
    EXPECT_FALSE(trend.saveCsv(dir.filePath("missing/trend.csv"), &csvFailure));
    EXPECT_FALSE(trend.savePng(dir.filePath("missing/trend.png"), &pngFailure));
    for (const QString &failure : {csvFailure, pngFailure})
        EXPECT_TRUE(
            failure.endsWith(QStringLiteral(": die Datei l\u00e4sst sich dort nicht anlegen "
                                            "(No such file or directory).")))
            << failure.toStdString();

    trend.setPaused(false);
    EXPECT_EQ(drawn(trend), (std::vector<int>{3, 3}));
    trend.clear();
    EXPECT_TRUE(trend.chart()->series().isEmpty());
    EXPECT_EQ(trend.store()->added, 0);
}

} // namespace
