// Helpers for tests and benchmarks that run exchanges on the real main panel by Qt events.
#include "tests/support/exchange_window.h"

#include "link/rs232.h"
#include "ui/ascii.h"
#include "ui/program.h"
#include "ui/qt/controls.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TextField *command_field() {
    auto *field = ui_widget<TextField>(main_panel, SEND_STRING);
    EXPECT_NE(field, nullptr);
    return field;
}

} // namespace

void load_main_for_enter(const char *device) {
    ui_init();
    ASSERT_EQ(MapComPort(1, device), 0) << device;
    ui_load_main(0);
    set_cyclic_sending(0);
}

void type_command(const std::string &text) {
    TextField *field = command_field();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    if (text.empty())
        QTest::keyClick(field, Qt::Key_Backspace);
    else
        QTest::keyClicks(field, QString::fromLatin1(text.c_str()));
}

void press_enter() {
    QTest::keyClick(command_field(), Qt::Key_Return);
}

void choose_mode(int mode) {
    auto *slide = ui_widget<RingSlide>(main_panel, RINGSLIDE);
    ASSERT_NE(slide, nullptr);
    for (int step = 0; step < 3 && ui_int(main_panel, RINGSLIDE) != mode; step++)
        QTest::keyClick(slide->slider(),
                        ui_int(main_panel, RINGSLIDE) < mode ? Qt::Key_Up : Qt::Key_Down);
    ASSERT_EQ(ui_int(main_panel, RINGSLIDE), mode);
}

void set_cyclic_sending(int on) {
    auto *toggle = ui_widget<ToggleSwitch>(main_panel, TOGGLEBUTTON);
    ASSERT_NE(toggle, nullptr);
    if (ui_int(main_panel, TOGGLEBUTTON) != on) QTest::mouseClick(toggle, Qt::LeftButton);
    ASSERT_EQ(ui_int(main_panel, TOGGLEBUTTON), on);
}

std::vector<std::string> history(int list) {
    int count = 0;
    GetNumListItems(main_panel, list, &count);
    std::vector<std::string> labels;
    for (int i = 0; i < count; i++) labels.push_back(ui_label(main_panel, list, i));
    return labels;
}

int selected(int list) {
    int index = -2;
    GetCtrlIndex(main_panel, list, &index);
    return index;
}

InsertionLog::InsertionLog(int list) {
    auto *box = ui_widget<ListBox>(main_panel, list);
    if (!box) {
        ADD_FAILURE() << "no list " << list;
        return;
    }
    connect(box->model(), &QAbstractItemModel::rowsInserted, this, [this] {
        times.push_back(std::chrono::steady_clock::now());
        titles.push_back(ui_title(main_panel));
    });
}

MessageBoxCatcher::MessageBoxCatcher(int dismissAfterMs)
    : MessageBoxCatcher([dismissAfterMs](size_t) { return dismissAfterMs; }) {}

MessageBoxCatcher::MessageBoxCatcher(std::function<int(size_t index)> holdMs) {
    connect(&watch, &QTimer::timeout, this, [this, holdMs] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || box == current) return;
        current = box;
        const size_t index = boxes.size();
        boxes.push_back({box->windowTitle().toStdString(), box->text().toStdString(),
                         std::chrono::steady_clock::now(), SteadyTime()});
        QPointer<MessageBoxCatcher> self(this);
        QTimer::singleShot(holdMs(index), box, [box, self, index] {
            if (self) self->boxes[index].dismissed = std::chrono::steady_clock::now();
            box->button(QMessageBox::Ok)->click();
        });
    });
    watch.start(10);
}

void through_file_dialog(const std::function<void()> &action, const std::string &path) {
    QTimer answer;
    int tries = 0;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        // selectFile leaves a file name field that has the focus alone, so the name is typed.
        // A file the dialog chose first stays selected in its list while the field has no focus
        // yet, and the list wins over the field: clear it, and accept only the name asked for.
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        auto *name = dialog ? dialog->findChild<QLineEdit *>("fileNameEdit") : nullptr;
        auto *list = dialog ? dialog->findChild<QListView *>("listView") : nullptr;
        if (!name || !list) return;
        const QString wanted = QString::fromStdString(path);
        name->setText(wanted);
        list->selectionModel()->clearSelection();
        if (dialog->selectedFiles() == QStringList{wanted}) {
            QMetaObject::invokeMethod(dialog, &QDialog::accept);
        } else if (++tries == 50) {
            ADD_FAILURE() << "the dialog chose " << dialog->selectedFiles().join(' ').toStdString();
            QMetaObject::invokeMethod(dialog, &QDialog::reject);
        }
    });
    answer.start(20);
    action();
}
