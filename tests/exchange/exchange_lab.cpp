// The lab in the window, end to end on the real panels and a chamber on a pseudo-terminal: two
// chambers on one port answering different values give two rows and two trends (and a bus scan's
// probe adds to neither); the panel's cyclic sending and polling share the port without a busy
// message; the list is remembered and travels as a lab file.
#include "tests/support/answer_record.h"
#include "tests/support/exchange_window.h"

#include "link/rs232.h"
#include "record/chamber_status.h"
#include "record/monitor_store.h"
#include "ui/ascii.h"
#include "ui/lab_file.h"
#include "ui/program.h"
#include "ui/qt/chamber_model.h"
#include "ui/qt/chambers_window.h"
#include "ui/qt/line_monitor.h"
#include "ui/qt/monitor_model.h"
#include "ui/qt/settings.h"
#include "ui/qt/trend_window.h"
#include "ui/qt/workbench.h"
#include "ui/workbench.h"

#include <QChart>
#include <QComboBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <thread>

namespace {

// The remembered list goes to a folder of the test's own, never to the user's settings.
const QTemporaryDir configHome;
const bool configSet =
    setenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit().constData(), 1) == 0;

class LabWindow : public ::testing::Test {
protected:
    void TearDown() override { ui_discard_all(); }
};

// A chamber at each address: the actual value is 10 times the address, the set value 5 more.
std::string by_address(const std::string &request, int) {
    const int address = request[1] & 0x7F;
    char payload[64];
    snprintf(payload, sizeof payload, "A0 %03d.0 %03d.0", 10 * address, 10 * address + 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return ScriptedChamber::frame(payload, address);
}

std::unique_ptr<Lab> empty_lab() {
    auto lab = std::make_unique<Lab>();
    lab_clear(lab.get());
    return lab;
}

Workbench *workbench() {
    for (QObject *child : PanelWidget(main_panel)->children())
        if (auto *found = dynamic_cast<Workbench *>(child)) return found;
    return nullptr;
}

LabChamber chamber(int port, int address, int intervalMs = 2000) {
    LabChamber c;
    lab_chamber_init(&c, port, address);
    c.intervalMs = intervalMs;
    return c;
}

long long exchanges_of(const ChamberModel *model, int row) {
    const ChamberStatus *s = model->status(row);
    return s && s->stats ? s->stats->exchanges : 0;
}

TEST_F(LabWindow, TwoChambersOnOnePortGiveTwoRowsAndTwoTrendsAndAScanAddsNoPoint) {
    ScriptedChamber line(by_address);
    ASSERT_TRUE(configSet && line.ok());
    load_main_for_enter(line.path());
    ASSERT_EQ(open_workbench(main_panel), 0);
    Workbench *bench = workbench();
    ASSERT_NE(bench, nullptr);
    ChamberModel *model = bench->chambers();
    model->setLab(*empty_lab());
    ASSERT_TRUE(model->addChamber(chamber(1, 1, 300)));
    ASSERT_TRUE(model->addChamber(chamber(1, 2, 300)));
    model->startPolling();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return exchanges_of(model, 0) >= 2 && exchanges_of(model, 1) >= 2; }, 10000));
    model->stopPolling();

    EXPECT_EQ(model->data(model->index(0, ChamberModel::Values), Qt::DisplayRole).toString(),
              "0: 10,0 / 15,0");
    EXPECT_EQ(model->data(model->index(1, ChamberModel::Values), Qt::DisplayRole).toString(),
              "0: 20,0 / 25,0");
    EXPECT_EQ(model->data(model->index(1, ChamberModel::State), Qt::DisplayRole).toString(),
              "antwortet");
    const ChamberTrends *trends = bench->trend()->trends();
    ASSERT_EQ(trends->count, 2) << "one trend per chamber, not one curve of both";
    long long points[2];
    for (int c = 0; c < 2; c++) {
        const TrendStore *store = trends->chamber[c].store;
        points[c] = store->added;
        ASSERT_EQ(store->channels, 1);
        const TrendSeries &actual = store->series[trend_series(0, TREND_ACTUAL)];
        for (int i = 0; i < actual.recentCount; i++)
            EXPECT_EQ(actual.recent[i].value, 10.0 * trends->chamber[c].address);
    }
    auto probe = answer_record("A0", "A0 099.0 099.0", 1700000000000);
    probe->port = 1, probe->address = 1, probe->trigger = BY_SCAN;
    publish_exchange(probe.get());
    EXPECT_EQ(trends->chamber[0].store->added, points[0]) << "the scan's probe added a point";

    // the chambers window: a double-click opens the chamber's trend
    bench->showChambers();
    QTableView *table = bench->chambersWindow()->table();
    ASSERT_EQ(table->model()->rowCount(), 2);
    const int second = bench->chambersWindow()->modelRow(0) == 1 ? 0 : 1;
    const QModelIndex cell = table->model()->index(second, ChamberModel::Address);
    table->scrollTo(cell);
    ui_double_click(table->viewport(), table->visualRect(cell).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return bench->trend()->isVisible(); }, 2000));
    EXPECT_EQ(bench->trend()->chamberChoice()->currentText(), "com1:2");
    bench->trend()->setCompared(1, 1, true);
    bench->trend()->refresh();
    EXPECT_EQ(bench->trend()->chart()->series().size(), 4);

    // the line monitor shows one chamber's exchanges, or all
    bench->showLineMonitor();
    QComboBox *choice = bench->lineMonitor()->chamberChoice();
    ASSERT_EQ(choice->count(), 3) << "all chambers, com1:1, com1:2";
    choice->setCurrentIndex(2);
    QAbstractItemModel *rows = bench->lineMonitor()->table()->model();
    ASSERT_GT(rows->rowCount(), 0);
    for (int row = 0; row < rows->rowCount(); row++)
        EXPECT_EQ(rows->index(row, MONITOR_ADDRESS).data().toString(), "2");
}

TEST_F(LabWindow, CyclicSendingAndPollingTakeTurnsOnOnePortWithoutABusyMessage) {
    ScriptedChamber line(by_address);
    ASSERT_TRUE(configSet && line.ok());
    MessageBoxCatcher boxes;
    load_main_for_enter(line.path());
    ASSERT_EQ(open_workbench(main_panel), 0);
    ChamberModel *model = workbench()->chambers();
    model->setLab(*empty_lab());
    ASSERT_TRUE(model->addChamber(chamber(1, 2, 100)));
    type_command("A0");
    model->startPolling();
    set_cyclic_sending(1);
    QTest::qWait(3000);
    set_cyclic_sending(0);
    model->stopPolling();
    QTest::qWait(300);

    EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text;
    const std::vector<std::string> received = history(ZEICHEN_EMPFANGEN);
    EXPECT_GE(received.size(), 1u) << "the panel's own exchanges go on as before";
    for (const std::string &entry : received) EXPECT_EQ(entry, "A0 010.0 015.0");
    const ChamberStatus *polled = model->status(0);
    ASSERT_NE(polled, nullptr);
    EXPECT_GE(polled->stats->exchanges, 5);
    EXPECT_EQ(polled->stats->byOutcome[RECEIVE_OK], polled->stats->exchanges);
    // one exchange at a time on the line: each request came after the answer before it
    const std::vector<SteadyTime> arrived = line.arrived(), answered = line.answered();
    for (size_t i = 1; i < arrived.size(); i++) EXPECT_GE(arrived[i], answered[i - 1]) << i;
}

TEST_F(LabWindow, TheListIsRememberedAndTravelsAsALabFile) {
    ASSERT_TRUE(configSet);
    ui_init();
    QTemporaryDir dir;
    Settings::open(true);
    {
        ChamberModel model(true);
        model.setLab(*empty_lab());
        ASSERT_TRUE(model.addChamber(chamber(1, 3)));
        ASSERT_TRUE(model.addChamber(chamber(4, 7, 500)));
        EXPECT_FALSE(model.addChamber(chamber(4, 7))) << "listed already";
        EXPECT_EQ(model.addChambers({chamber(4, 7), chamber(4, 8), chamber(4, 8)}), 1)
            << "as the bus scan adds what answered";
        model.removeChamber(2);
        model.renameChamber(1, QString::fromUtf8("  Klima \u00dc 7 "));
        model.removeChamber(0);
    }
    Settings::close(); // the next run
    Settings::open(true);
    ChamberModel again(true);
    again.restore();
    Settings::close();
    ASSERT_EQ(again.lab().count, 1);
    EXPECT_STREQ(again.lab().chamber[0].name, "Klima \xc3\x9c 7");
    EXPECT_EQ(again.lab().chamber[0].intervalMs, 500);
    EXPECT_EQ(again.label(4, 7), QString::fromUtf8("Klima \u00dc 7 (com4:7)"));

    const std::string path = dir.filePath("lab.json").toStdString();
    char error[LAB_ERROR_SIZE];
    ASSERT_EQ(lab_file_write(path.c_str(), &again.lab(), error, sizeof error), 0) << error;
    auto read = std::make_unique<Lab>();
    ASSERT_EQ(lab_file_read(path.c_str(), read.get(), error, sizeof error), 0) << error;
    ASSERT_EQ(read->count, 1);
    const LabChamber &back = read->chamber[0], &saved = again.lab().chamber[0];
    EXPECT_STREQ(back.name, saved.name);
    EXPECT_EQ(back.port * 100 + back.address, 407);
    EXPECT_EQ(back.intervalMs, 500);
    ASSERT_EQ(back.commands, 1);
    EXPECT_STREQ(back.command[0], "A0");

    const struct {
        const char *json, *problem; // problem: null when the file is read
    } files[] = {
        {R"({"chambers":[{"port":"com2","address":5,"commands":["A0","A1"],"interval":0.5}],
            "map":{"com2":"/tmp/kelvra-lab-device"}})",
         nullptr},
        {"{", "not JSON"},
        {R"({"chambers":[{"port":"com2","address":33}]})", "\"address\""},
        {R"({"chambers":[{"port":"com2","address":5},{"port":"COM2","address":5}]})", "twice"},
        {R"({"chambers":[{"port":"com2","address":5,"commands":["A\n"]}]})", "command"},
        {R"({"chambers":[{"port":"com2","address":5,"interval":0}]})", "\"interval\""},
        {R"({"kelvra-lab":2,"chambers":[]})", "format 2"},
    };
    for (const auto &f : files) {
        std::ofstream(path) << f.json;
        read->count = 42;
        const int result = lab_file_read(path.c_str(), read.get(), error, sizeof error);
        ASSERT_EQ(result, f.problem ? -1 : 0) << f.json << ": " << error;
        if (f.problem) {
            EXPECT_NE(std::string(error).find(f.problem), std::string::npos) << error;
            EXPECT_EQ(read->count, 42) << "a bad file leaves the list alone";
            continue;
        }
        ASSERT_EQ(read->count, 1);
        EXPECT_EQ(read->chamber[0].commands, 2);
        EXPECT_EQ(read->chamber[0].intervalMs, 500);
        EXPECT_STREQ(ComPortDevice(2), "/tmp/kelvra-lab-device");
    }
}

} // namespace
