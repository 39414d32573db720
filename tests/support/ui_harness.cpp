// Helpers for tests that drive the real panels through the Qt layer.
#include "tests/support/ui_harness.h"

#include "display/format.h"
#include "ui/ascii.h"
#include "ui/program.h"
#include "ui/qt/settings.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

void ui_init() {
    static QTemporaryDir config; // removed when the tests end
    static bool scratch = qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    ASSERT_TRUE(scratch && config.isValid());
    static char name[] = "ui-tests";
    static char *argv[] = {name, nullptr};
    ASSERT_NE(InitCVIRTE(0, argv, 0), 0);
}

int ui_load_main(int language, std::initializer_list<CallbackBinding> extra) {
    static std::vector<CallbackBinding> table;
    table.assign(extra.begin(), extra.end());
    for (int i = 0; i < ascii_callback_count; i++) {
        bool replaced = false;
        for (const CallbackBinding &binding : extra)
            replaced = replaced || std::strcmp(binding.name, ascii_callbacks[i].name) == 0;
        if (!replaced) table.push_back(ascii_callbacks[i]);
    }
    ui_init();
    Fremdsprache = language;
    SetCallbackTable(table.data(), int(table.size()));
    main_panel = LoadPanel(0, panel_file(), PANEL);
    EXPECT_GT(main_panel, 0);
    DisplayPanel(main_panel);
    return main_panel;
}

void ui_discard_panels() {
    for (int *panel : {&txt_panel, &hlp_panel}) {
        if (*panel > 0) DiscardPanel(*panel);
        *panel = -1;
    }
    if (main_panel > 0) DiscardPanel(main_panel);
    main_panel = 0;
    ResumeTimerCallbacks();
    Fremdsprache = 0;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void ui_discard_all() {
    ui_discard_panels();
    QFile::remove(Settings::fileName());
}

void ui_double_click(QWidget *widget, QPoint position) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, position);
    QTest::mousePress(widget, Qt::LeftButton, {}, position);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, position);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, position);
}

std::string ui_text(int panel, int control) {
    static char text[8192];
    text[0] = '\0';
    EXPECT_EQ(GetCtrlVal(panel, control, text), 0);
    return text;
}

std::string ui_label(int panel, int control, int index) {
    char label[512] = "";
    EXPECT_EQ(GetLabelFromIndex(panel, control, index, label), 0);
    return label;
}

std::string ui_title(int panel) {
    char title[256] = "";
    EXPECT_EQ(GetPanelAttribute(panel, ATTR_TITLE, title), 0);
    return title;
}

int ui_int(int panel, int control) {
    int value = -12345;
    EXPECT_EQ(GetCtrlVal(panel, control, &value), 0);
    return value;
}
