// The user-interface layer through userint.h: every operation on the real panels, the panel
// files' defaults (which a run without a window takes too) and the event loop's timer.
#include "display/format.h"
#include "link/link.h"
#include "link/rs232.h"
#include "ui/ascii.h"
#include "ui/command_line.h"
#include "ui/program.h"
#include "ui/qt/controls.h"
#include "ui/qt/userint_qt.h"
#include "ui/userint.h"

#include <QComboBox>

#include <gtest/gtest.h>

#include <string>

namespace {

int load(int language) {
    static char name[] = "ui-layers";
    static char *argv[] = {name, nullptr};
    EXPECT_NE(InitCVIRTE(0, argv, 0), 0);
    Fremdsprache = language;
    SetCallbackTable(ascii_callbacks, ascii_callback_count);
    return main_panel = LoadPanel(0, panel_file(), PANEL);
}

std::string text(int panel, int control) {
    char value[1024] = "";
    EXPECT_EQ(GetCtrlVal(panel, control, value), 0) << control;
    return value;
}

int number(int panel, int control) {
    int value = -12345;
    EXPECT_EQ(GetCtrlVal(panel, control, &value), 0) << control;
    return value;
}

int index(int panel, int control) {
    int value = -12345;
    EXPECT_EQ(GetCtrlIndex(panel, control, &value), 0) << control;
    return value;
}

std::string labels(int panel, int control) {
    int count = 0;
    std::string all;
    GetNumListItems(panel, control, &count);
    for (int i = 0; i < count; i++) {
        char label[256] = "";
        GetLabelFromIndex(panel, control, i, label);
        all += std::string(i ? "," : "") + label;
    }
    return all;
}

TEST(Layer, LoadsTheMainPanelAtItsDefaultsInEitherLanguage) {
    for (int language : {0, 1}) {
        SCOPED_TRACE(language);
        const int panel = load(language);
        ASSERT_GT(panel, 0);
        EXPECT_EQ(number(panel, KAMMER), DEFAULT_ADDRESS);
        EXPECT_EQ(number(panel, RING_COM), DEFAULT_PORT);
        EXPECT_EQ(index(panel, RING_COM), 19);
        EXPECT_EQ(number(panel, TOGGLEBUTTON), 1);
        EXPECT_EQ(index(panel, AUSWAHL), 3);
        EXPECT_EQ(text(panel, AUSWAHL), "A0");
        EXPECT_EQ(text(panel, SEND_STRING), "A0");
        EXPECT_EQ(number(panel, LED), 0);
        EXPECT_EQ(number(panel, RINGSLIDE), DEFAULT_MODE);
        EXPECT_EQ(labels(panel, RINGSLIDE), language
                                                ? "All bytes in hex,without framing,interpreted"
                                                : "Alle \xfc"
                                                  "bertragenen Bytes,Ohne Rahmen,Interpretiert");
        EXPECT_EQ(labels(panel, ZEICHEN_GESENDET), "");
        EXPECT_EQ(index(panel, ZEICHEN_GESENDET), -1);
        char title[128] = "";
        EXPECT_EQ(GetPanelAttribute(panel, ATTR_TITLE, title), 0);
        EXPECT_EQ(std::string(title), language
                                          ? "Testprogramme for Kelvra ASCII protocol Version3.0"
                                          : "Testprogram f\xfc"
                                            "r Kelvra ASCII protokoll Version3.0");
        const int help = LoadPanel(0, panel_file(), HLPPANEL);
        EXPECT_NE(text(help, TEXTBOX).find("#define STX 0x02"), std::string::npos);
        DiscardPanel(help);
        DiscardPanel(panel);
    }
}

TEST(Layer, AnswersEveryOperation) {
    const int panel = load(0);
    ASSERT_GT(panel, 0);
    int value = 0;
    char buffer[16];
    // values: clamped, cut, chosen by value, refused by type
    EXPECT_EQ(SetCtrlVal(panel, KAMMER, 33), 0);
    EXPECT_EQ(number(panel, KAMMER), 32);
    EXPECT_EQ(SetCtrlVal(panel, KAMMER, -5), 0);
    EXPECT_EQ(number(panel, KAMMER), 1);
    EXPECT_EQ(SetCtrlVal(panel, SEND_STRING, std::string(600, 'x').c_str()), 0);
    EXPECT_EQ(text(panel, SEND_STRING), std::string(MAX_COMMAND_LENGTH, 'x'));
    EXPECT_EQ(GetCtrlVal(panel, SEND_STRING, buffer), 0);
    EXPECT_EQ(std::string(buffer), std::string(15, 'x'));
    EXPECT_EQ(SetCtrlVal(panel, RING_COM, 20), 0);
    EXPECT_EQ(index(panel, RING_COM), 0);
    EXPECT_EQ(SetCtrlVal(panel, RING_COM, 21), UIE_BAD_INDEX);
    EXPECT_EQ(SetCtrlVal(panel, AUSWAHL, "s3 1"), 0);
    EXPECT_EQ(index(panel, AUSWAHL), 15);
    EXPECT_EQ(SetCtrlVal(panel, AUSWAHL, "zz"), UIE_BAD_INDEX);
    EXPECT_EQ(SetCtrlVal(panel, RINGSLIDE, 2), 0);
    EXPECT_EQ(SetCtrlVal(panel, RINGSLIDE, "x"), UIE_BAD_TYPE);
    EXPECT_EQ(SetCtrlIndex(panel, RINGSLIDE, 3), UIE_BAD_INDEX);
    EXPECT_EQ(GetCtrlVal(panel, KAMMER, buffer), UIE_BAD_TYPE);
    EXPECT_EQ(GetCtrlVal(panel, AUSWAHL, &value), UIE_BAD_TYPE);
    EXPECT_EQ(GetCtrlVal(panel, SEND_STRING, &value), UIE_BAD_TYPE);
    EXPECT_EQ(SetCtrlVal(panel, LED, 7), 0);
    EXPECT_EQ(number(panel, LED), 1);

    // a history: insertions keep the selection on its item; deleted, it moves to the item above
    EXPECT_EQ(InsertListItem(panel, ZEICHEN_GESENDET, 0, "b", 0), 0);
    EXPECT_EQ(InsertListItem(panel, ZEICHEN_GESENDET, 0, "a", 0), 0);
    EXPECT_EQ(InsertListItem(panel, ZEICHEN_GESENDET, -1, "c", 0), 0);
    EXPECT_EQ(InsertListItem(panel, ZEICHEN_GESENDET, 5, "x", 0), UIE_BAD_INDEX);
    EXPECT_EQ(labels(panel, ZEICHEN_GESENDET), "a,b,c");
    EXPECT_EQ(index(panel, ZEICHEN_GESENDET), -1);
    EXPECT_EQ(SetCtrlIndex(panel, ZEICHEN_GESENDET, 1), 0);
    EXPECT_EQ(InsertListItem(panel, ZEICHEN_GESENDET, 0, "z", 0), 0);
    EXPECT_EQ(index(panel, ZEICHEN_GESENDET), 2);
    EXPECT_EQ(DeleteListItem(panel, ZEICHEN_GESENDET, 2, -1), 0);
    EXPECT_EQ(labels(panel, ZEICHEN_GESENDET), "z,a");
    EXPECT_EQ(index(panel, ZEICHEN_GESENDET), 1);
    EXPECT_EQ(DeleteListItem(panel, ZEICHEN_GESENDET, 0, 2), 0);
    EXPECT_EQ(index(panel, ZEICHEN_GESENDET), -1);
    EXPECT_EQ(DeleteListItem(panel, ZEICHEN_GESENDET, 2, 1), UIE_BAD_INDEX);
    EXPECT_EQ(SetCtrlIndex(panel, ZEICHEN_GESENDET, 2), UIE_BAD_INDEX);

    // what a kind does not have, and what does not exist
    EXPECT_EQ(ResetTextBox(panel, SEND_STRING, "x"), UIE_BAD_TYPE);
    EXPECT_EQ(SetActiveCtrl(panel, SCANNER), UIE_BAD_TYPE);
    EXPECT_EQ(SetActiveCtrl(panel, SEND_STRING), 0);
    EXPECT_EQ(SetCtrlAttribute(panel, RING_COM, ATTR_TOOLTIP_TEXT, "com1"), 0);
    EXPECT_EQ(SetCtrlAttribute(panel, SCANNER, ATTR_TOOLTIP_TEXT, "x"), UIE_BAD_TYPE);
    EXPECT_EQ(SetCtrlAttribute(panel, RING_COM, ATTR_TITLE, "x"), UIE_BAD_TYPE);
    EXPECT_EQ(GetNumListItems(panel, KAMMER, &value), UIE_BAD_TYPE);
    EXPECT_EQ(GetCtrlVal(panel, 99, &value), UIE_BAD_CONTROL);
    EXPECT_EQ(GetCtrlVal(12345, KAMMER, &value), UIE_BAD_PANEL);
    EXPECT_EQ(LoadPanel(0, "other.uir", PANEL), UIE_NO_FILE);
    EXPECT_EQ(LoadPanel(0, "ascii.uir", 99), UIE_NO_FILE);
    EXPECT_EQ(LoadPanel(12345, "ascii.uir", TXTPANEL), UIE_BAD_PANEL);
    EXPECT_EQ(SetPanelAttribute(panel, ATTR_TITLE, "Scanning"), 0);
    char title[16] = "";
    EXPECT_EQ(GetPanelAttribute(panel, ATTR_TITLE, title), 0);
    EXPECT_EQ(std::string(title), "Scanning");

    // callbacks are bound by the names in the file: choosing a preset runs COMMAND
    QComboBox *presets = dynamic_cast<Ring *>(ControlWidget(panel, AUSWAHL))->comboBox();
    presets->setCurrentIndex(10);
    emit presets->activated(10);
    EXPECT_EQ(text(panel, SEND_STRING), "S");

    // a child panel goes with its parent
    const int child = LoadPanel(panel, panel_file(), TXTPANEL);
    ASSERT_GT(child, 0);
    EXPECT_EQ(ResetTextBox(child, TEXTBOX, "ganz"), 0);
    EXPECT_EQ(text(child, TEXTBOX), "ganz");
    EXPECT_EQ(DiscardPanel(panel), 0);
    EXPECT_EQ(GetCtrlVal(child, TEXTBOX, buffer), UIE_BAD_PANEL);
    EXPECT_EQ(DiscardPanel(panel), UIE_BAD_PANEL);
}

int ticks;

int countTick(int, int, int event, void *, int, int) {
    if (event == EVENT_TIMER_TICK && ++ticks == 1) QuitUserInterface(7);
    return 0;
}

TEST(Layer, RunsTheEventLoopWithTheTimerTickingEveryTwoSeconds) {
    static const CallbackBinding counting[] = {{"TIMER", countTick}};
    static char name[] = "ui-layers";
    static char *argv[] = {name, nullptr};
    ASSERT_NE(InitCVIRTE(0, argv, 0), 0);
    SetCallbackTable(counting, 1);
    const int panel = LoadPanel(0, "ascii.uir", PANEL);
    ASSERT_GT(panel, 0);
    const double start = Timer();
    EXPECT_EQ(RunUserInterface(), 7);
    EXPECT_NEAR(Timer() - start, 2.0, 0.2);
    EXPECT_EQ(ticks, 1);
    DiscardPanel(panel);
}

} // namespace
