// What a screen reader learns of the windows through Qt's accessibility interfaces, in German
// and English: every control's name, role and state, the labels as buddies, and no operable
// part of the panels or the views without a name.
#include "tests/support/ui_harness.h"

#include "ui/ascii.h"
#include "ui/callbacks.h"
#include "ui/program.h"
#include "ui/qt/bus_scan_dialog.h"
#include "ui/qt/line_monitor.h"
#include "ui/qt/panel.h"
#include "ui/qt/trend_window.h"
#include "ui/qt/workbench.h"
#include "ui/workbench.h"

#include <QAccessible>
#include <QApplication>
#include <QJsonDocument>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class Accessibility : public ::testing::Test {
protected:
    void SetUp() override { ui_init(); }
    void TearDown() override { ui_discard_all(); }
};

// The part of a control that takes the focus: the box of a number, the list of a ring, the
// track of a slider.
QWidget *focusPart(int control) {
    QWidget *widget = ControlWidget(main_panel, control);
    return widget->focusProxy() ? widget->focusProxy() : widget;
}

QAccessibleInterface *of(QWidget *widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

std::string text(QAccessibleInterface *node, QAccessible::Text which) {
    return node->text(which).toStdString();
}

QLabel *labelWithText(const QString &text) {
    for (QLabel *label : PanelWidget(main_panel)->findChildren<QLabel *>())
        if (label->text() == text) return label;
    return nullptr;
}

TEST_F(Accessibility, EveryControlTellsItsNameRoleAndValueAndItsLabelIsItsBuddy) {
    const struct Row {
        int control;
        QAccessible::Role role;
        const char *name[2], *value[2]; // German, English; no value: ""
        bool labelled;
    } rows[] = {
        {KAMMER, QAccessible::SpinBox, {"Kammeradresse", "Chamber addresse"}, {"1", "1"}, true},
        {RING_COM,
         QAccessible::ComboBox,
         {"PC-Schnittstelle", "PC-Interface"},
         {"com1", "com1"},
         true},
        {TOGGLEBUTTON,
         QAccessible::CheckBox,
         {"Senden An/Aus", "cyclic sending On/Off"},
         {"", ""},
         true},
        {ESC_BUTTON, QAccessible::Button, {"Quit", "Quit"}, {"", ""}, false},
        {AUSWAHL,
         QAccessible::ComboBox,
         {"m\u00f6gliche Befehle:", "possible commands"},
         {"Analogkanal 0 (Temper) Ist-/Sollwert lesen",
          "read actual/set value of analogue channel 0 (Temper)"},
         true},
        {SEND_STRING,
         QAccessible::EditableText,
         {"Befehlscode (editierbar) :", "Command (editable)"},
         {"A0", "A0"},
         true},
        {LED,
         QAccessible::Indicator,
         {"Kontakt zur Kammer", "Chamber responding"},
         {"aus", "off"},
         true},
        {RINGSLIDE,
         QAccessible::Slider,
         {"Anzeigemode", "Display mode"},
         {"Ohne Rahmen", "without framing"},
         true},
        {ZEICHEN_EMPFANGEN,
         QAccessible::List,
         {"zeichen empfangen", "characters received"},
         {"", ""},
         true},
        {ZEICHEN_GESENDET,
         QAccessible::List,
         {"zeichen gesendet", "characters sent"},
         {"", ""},
         true},
        {PICTUREBUTTON,
         QAccessible::Button,
         {"Hilfe zum Rahmenaufbau", "Help on the frame format"},
         {"", ""},
         false},
    };
    for (int language : {0, 1}) {
        ui_load_main(language);
        for (const Row &row : rows) {
            SCOPED_TRACE(std::string(row.name[language]) + (language ? " (en)" : " (de)"));
            QAccessibleInterface *node = of(focusPart(row.control));
            ASSERT_NE(node, nullptr);
            EXPECT_EQ(node->role(), row.role);
            EXPECT_EQ(text(node, QAccessible::Name), row.name[language]);
            if (*row.value[language]) {
                EXPECT_EQ(text(node, QAccessible::Value), row.value[language]);
            }
            if (!row.labelled) continue;
            QLabel *label = labelWithText(QString::fromUtf8(row.name[language]));
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->buddy(), focusPart(row.control));
        }
        ui_discard_all();
    }
}

TEST_F(Accessibility, TheLampTheSwitchAndTheSliderTellTheirState) {
    for (int language : {0, 1}) {
        SCOPED_TRACE(language ? "en" : "de");
        ui_load_main(language);
        QAccessibleInterface *lamp = of(focusPart(LED));
        EXPECT_FALSE(lamp->state().checked);
        SetCtrlVal(main_panel, LED, 1);
        EXPECT_TRUE(lamp->state().checked);
        EXPECT_EQ(text(lamp, QAccessible::Value), language ? "on" : "an");

        QAccessibleInterface *toggle = of(focusPart(TOGGLEBUTTON));
        EXPECT_TRUE(toggle->state().checkable);
        EXPECT_TRUE(toggle->state().checked) << "cyclic sending is on from start-up";
        SetCtrlVal(main_panel, TOGGLEBUTTON, 0);
        EXPECT_FALSE(toggle->state().checked);

        // a screen reader moves the slider by its value: the display mode follows
        QAccessibleInterface *slider = of(focusPart(RINGSLIDE));
        QAccessibleValueInterface *steps = slider->valueInterface();
        ASSERT_NE(steps, nullptr);
        EXPECT_EQ(steps->maximumValue().toInt(), 2);
        steps->setCurrentValue(2);
        EXPECT_EQ(ui_int(main_panel, RINGSLIDE), 2);
        EXPECT_EQ(text(slider, QAccessible::Value), language ? "interpreted" : "Interpretiert");
        ui_discard_all();
    }
}

// A label that marks a letter with "&" takes Alt and that letter to its control.
TEST_F(Accessibility, AMarkedLetterInALabelMovesTheFocusToItsControl) {
    const QByteArray definition = R"({"id": 1, "title": "Mnemonics", "width": 200, "height": 90,
        "top": 0, "left": 0, "controls": [
        {"id": 2, "kind": "numeric", "callback": null, "top": 20, "left": 10, "width": 40,
         "height": 19, "min": 1, "max": 32, "default": 1,
         "label": {"text": "&Address", "top": 2, "left": 10}},
        {"id": 3, "kind": "text_field", "callback": null, "top": 60, "left": 10, "width": 100,
         "height": 19, "default": "", "max_length": 10,
         "label": {"text": "Co&mmand && text", "top": 42, "left": 10}}]})";
    std::unique_ptr<Panel> panel(buildPanel(QJsonDocument::fromJson(definition).object(), 99,
                                            nullptr, [](const QString &) { return nullptr; }));
    ASSERT_NE(panel, nullptr);
    panel->show();
    panel->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
    QWidget *address = panel->control(2)->widget()->focusProxy();
    QWidget *command = panel->control(3)->widget();
    EXPECT_EQ(text(of(command), QAccessible::Name), "Command & text");

    QTest::keyClick(panel.get(), Qt::Key_M, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), command);
    QTest::keyClick(panel.get(), Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), address);
}

// Every part that takes input or the focus, or shows a state, has a name; the parts inside a
// list, table, drop-down list or text are the items and lines they show.
void expectNamed(QWidget *window, const char *which) {
    const std::function<void(QAccessibleInterface *, const std::string &)> walk =
        [&](QAccessibleInterface *node, const std::string &path) {
            for (int i = 0; i < node->childCount(); i++) {
                QAccessibleInterface *child = node->child(i);
                if (!child) continue;
                const QAccessible::Role role = child->role();
                const std::string where = path + "/" + text(child, QAccessible::Name);
                const bool operable = child->state().focusable ||
                                      (child->actionInterface() &&
                                       !child->actionInterface()->actionNames().isEmpty()) ||
                                      role == QAccessible::Indicator ||
                                      role == QAccessible::ProgressBar;
                if (operable && role != QAccessible::StaticText && role != QAccessible::ScrollBar) {
                    EXPECT_FALSE(child->text(QAccessible::Name).isEmpty())
                        << which << ": a " << std::hex << role << " without a name at " << where;
                }
                if (role != QAccessible::List && role != QAccessible::Table &&
                    role != QAccessible::ComboBox && role != QAccessible::EditableText)
                    walk(child, where);
            }
        };
    walk(of(window), "");
}

TEST_F(Accessibility, NoOperablePartOfThePanelsOrTheViewsIsWithoutAName) {
    for (int language : {0, 1}) {
        SCOPED_TRACE(language ? "en" : "de");
        ui_load_main(language);
        OpenWorkbench(main_panel);
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
        auto *scan = new BusScanDialog(window, 2, 1); // no valid range: nothing is sent
        expectNamed(scan, "bus scan");
        delete scan;
        ui_discard_all();
    }
}

} // namespace
