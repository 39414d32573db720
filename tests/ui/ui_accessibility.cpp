// What a screen reader learns of the windows through Qt's accessibility interfaces, in German
// and English: each control's name, role, value and state, its label as its buddy, and no
// operable part of the panels and views without a name.
#include "tests/support/ui_harness.h"

#include "ui/ascii.h"
#include "ui/callbacks.h"
#include "ui/program.h"
#include "ui/qt/bus_scan_dialog.h"
#include "ui/qt/line_monitor.h"
#include "ui/qt/trend_window.h"
#include "ui/qt/workbench.h"
#include "ui/workbench.h"

#include <QAccessible>
#include <QLabel>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class Accessibility : public ::testing::Test {
protected:
    void SetUp() override { ui_init(); }
    void TearDown() override { ui_discard_all(); }
};

// The part of a control that takes the focus: a number's box, a ring's list, a slider's track.
QAccessibleInterface *of(int control) {
    QWidget *widget = ControlWidget(main_panel, control);
    return QAccessible::queryAccessibleInterface(widget->focusProxy() ? widget->focusProxy()
                                                                      : widget);
}

std::string text(QAccessibleInterface *node, QAccessible::Text which = QAccessible::Value) {
    return node->text(which).toStdString();
}

TEST_F(Accessibility, EachControlTellsItsNameRoleValueAndStateAndItsLabelIsItsBuddy) {
    const struct Row {
        int control;
        QAccessible::Role role;
        const char *name[2], *value[2]; // German, English; value null: not checked
        int checked;                    // -1: no such state
    } rows[] = {
        // clang-format off
        {KAMMER, QAccessible::SpinBox, {"Kammeradresse", "Chamber addresse"}, {"1", "1"}, -1},
        {RING_COM, QAccessible::ComboBox, {"PC-Schnittstelle", "PC-Interface"}, {"com1", "com1"}, -1},
        {TOGGLEBUTTON, QAccessible::CheckBox, {"Senden An/Aus", "cyclic sending On/Off"}, {}, 1},
        {ESC_BUTTON, QAccessible::Button, {"Quit", "Quit"}, {}, -1},
        {AUSWAHL, QAccessible::ComboBox, {"m\u00f6gliche Befehle:", "possible commands"},
         {"Analogkanal 0 (Temper) Ist-/Sollwert lesen", "read actual/set value of analogue channel 0 (Temper)"}, -1},
        {SEND_STRING, QAccessible::EditableText, {"Befehlscode (editierbar) :", "Command (editable)"}, {"A0", "A0"}, -1},
        {LED, QAccessible::Indicator, {"Kontakt zur Kammer", "Chamber responding"}, {"aus", "off"}, 0},
        {RINGSLIDE, QAccessible::Slider, {"Anzeigemode", "Display mode"}, {"Ohne Rahmen", "without framing"}, -1},
        {ZEICHEN_EMPFANGEN, QAccessible::List, {"zeichen empfangen", "characters received"}, {}, -1},
        {ZEICHEN_GESENDET, QAccessible::List, {"zeichen gesendet", "characters sent"}, {}, -1},
        {PICTUREBUTTON, QAccessible::Button, {"Hilfe zum Rahmenaufbau", "Help on the frame format"}, {}, -1},
        // clang-format on
    };
    for (int language : {0, 1}) {
        ui_load_main(language);
        for (const Row &row : rows) {
            SCOPED_TRACE(row.name[language]);
            QAccessibleInterface *node = of(row.control);
            EXPECT_EQ(node->role(), row.role);
            EXPECT_EQ(text(node, QAccessible::Name), row.name[language]);
            EXPECT_TRUE(!row.value[language] || text(node) == row.value[language]) << text(node);
            EXPECT_TRUE(row.checked < 0 || node->state().checked == (row.checked == 1));
            for (QLabel *label : PanelWidget(main_panel)->findChildren<QLabel *>()) // its label
                EXPECT_TRUE(label->text() != row.name[language] ||
                            label->buddy() == node->object());
        }
        // the states follow: the lamp lights, the switch goes off, a screen reader moves the slider
        SetCtrlVal(main_panel, LED, 1);
        SetCtrlVal(main_panel, TOGGLEBUTTON, 0);
        of(RINGSLIDE)->valueInterface()->setCurrentValue(2);
        EXPECT_TRUE(of(LED)->state().checked);
        EXPECT_EQ(text(of(LED)), language ? "on" : "an");
        EXPECT_FALSE(of(TOGGLEBUTTON)->state().checked);
        EXPECT_EQ(ui_int(main_panel, RINGSLIDE), 2);
        EXPECT_EQ(text(of(RINGSLIDE)), language ? "interpreted" : "Interpretiert");
        ui_discard_all();
    }
}

// Each part that takes the focus or acts, or shows a state, has a name (static texts are named
// by their text); the parts inside a list, table, drop-down list or text are what they show.
void expectNamed(QWidget *window, const char *which) {
    const std::function<void(QAccessibleInterface *, const std::string &)> walk =
        [&](QAccessibleInterface *node, const std::string &path) {
            for (int i = 0; i < node->childCount(); i++) {
                QAccessibleInterface *part = node->child(i);
                const QAccessible::Role role = part->role();
                const std::string where = path + "/" + text(part, QAccessible::Name);
                const QAccessibleActionInterface *acts = part->actionInterface();
                const bool operable = part->state().focusable || role == QAccessible::Indicator ||
                                      role == QAccessible::ProgressBar ||
                                      (acts && !acts->actionNames().isEmpty());
                EXPECT_TRUE(!operable || role == QAccessible::StaticText ||
                            role == QAccessible::ScrollBar || where.back() != '/')
                    << which << ": unnamed role 0x" << std::hex << role << " at " << where;
                if (role != QAccessible::List && role != QAccessible::Table &&
                    role != QAccessible::ComboBox && role != QAccessible::EditableText)
                    walk(part, where);
            }
        };
    walk(QAccessible::queryAccessibleInterface(window), "");
}

TEST_F(Accessibility, NoOperablePartOfThePanelsOrTheViewsIsWithoutAName) {
    for (int language : {0, 1}) {
        SCOPED_TRACE(language ? "en" : "de");
        ui_load_main(language);
        open_workbench(main_panel);
        QWidget *window = PanelWidget(main_panel);
        expectNamed(window, "main panel");
        Help(main_panel, PICTUREBUTTON, EVENT_COMMIT, nullptr, 0, 0);
        expectNamed(PanelWidget(hlp_panel), "help panel");
        FullText(main_panel, ZEICHEN_GESENDET, EVENT_COMMIT, nullptr, 0, 0);
        expectNamed(PanelWidget(txt_panel), "text panel");
        for (QObject *child : window->findChildren<QObject *>()) {
            if (auto *trend = dynamic_cast<TrendWindow *>(child)) expectNamed(trend, "trend");
            if (auto *workbench = dynamic_cast<Workbench *>(child)) {
                workbench->showLineMonitor();
                expectNamed(workbench->lineMonitor(), "line monitor");
            }
        }
        expectNamed(std::make_unique<BusScanDialog>(window, 2, 1).get(), "bus scan"); // no range
        ui_discard_all();
    }
}

} // namespace
