// The panel files: agreement with ui/ascii.h and with each other, and their exact contents as
// the program reads them through userint.h.
#include "tests/support/ui_harness.h"

#include "link/link.h"
#include "ui/ascii.h"
#include "ui/program.h"
#include "ui/qt/controls.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

namespace {

QJsonObject panelFile(const char *name) {
    QFile file(QString(":/panels/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError)
        << name << ": " << qPrintable(error.errorString());
    return document.object();
}

struct ExpectedControl {
    const char *constant;
    int id;
    const char *kind;
    const char *callback; // null: none
};

struct ExpectedPanel {
    const char *constant;
    int id;
    std::vector<ExpectedControl> controls;
};

const std::vector<ExpectedPanel> expectedPanels = {
    {"FEHLER",
     FEHLER,
     {{"TEXTBOX", TEXTBOX, "text_box", nullptr}, {"TEXTMSG", TEXTMSG, "text_message", nullptr}}},
    {"HLPPANEL", HLPPANEL, {{"TEXTBOX", TEXTBOX, "text_box", "CloseHelp"}}},
    {"PANEL",
     PANEL,
     {{"KAMMER", KAMMER, "numeric", nullptr},
      {"RING_COM", RING_COM, "ring", "COM_PORT"},
      {"TOGGLEBUTTON", TOGGLEBUTTON, "toggle", "ON_OFF"},
      {"ESC_BUTTON", ESC_BUTTON, "command_button", "QUIT"},
      {"AUSWAHL", AUSWAHL, "ring", "COMMAND"},
      {"SEND_STRING", SEND_STRING, "text_field", "SENDEN"},
      {"LED", LED, "led", nullptr},
      {"SCANNER", SCANNER, "timer", "TIMER"},
      {"DECORATION_3", DECORATION_3, "decoration", nullptr},
      {"DECORATION_4", DECORATION_4, "decoration", nullptr},
      {"DECORATION_5", DECORATION_5, "decoration", nullptr},
      {"RINGSLIDE", RINGSLIDE, "ring_slide", nullptr},
      {"ZEICHEN_EMPFANGEN", ZEICHEN_EMPFANGEN, "list_box", "FullText"},
      {"ZEICHEN_GESENDET", ZEICHEN_GESENDET, "list_box", "FullText"},
      {"PICTUREBUTTON", PICTUREBUTTON, "picture_button", "Help"}}},
    {"TXTPANEL", TXTPANEL, {{"TEXTBOX", TEXTBOX, "text_box", "CloseText"}}},
};

// Drops what may differ between the languages: texts and label positions.
QJsonValue withoutTexts(const QJsonValue &value) {
    if (value.isArray()) {
        QJsonArray out;
        for (const QJsonValue item : value.toArray()) out.append(withoutTexts(item));
        return out;
    }
    if (!value.isObject()) return value;
    QJsonObject out;
    const QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = it.key();
        if (key == "title" || key == "file" || key == "language") continue;
        if (key == "label") {
            out[key] = it.value().isObject() ? QJsonValue("label") : it.value();
            continue;
        }
        if (key == "items") {
            QJsonArray values;
            for (const QJsonValue item : it.value().toArray()) values.append(item["value"]);
            out[key] = values;
            continue;
        }
        out[key] = withoutTexts(it.value());
    }
    return out;
}

class Panels : public ::testing::Test {
protected:
    void SetUp() override { ui_init(); }
    void TearDown() override { ui_discard_all(); }
};

TEST(PanelFiles, AgreeWithTheHeaderOnIdsKindsAndCallbacks) {
    for (const char *name : {"ascii.uir", "ascii_e.uir"}) {
        SCOPED_TRACE(name);
        const QJsonArray panels = panelFile(name)["panels"].toArray();
        ASSERT_EQ(panels.size(), qsizetype(expectedPanels.size()));
        for (qsizetype p = 0; p < panels.size(); p++) {
            const ExpectedPanel &expected = expectedPanels[size_t(p)];
            const QJsonObject panel = panels[p].toObject();
            SCOPED_TRACE(expected.constant);
            EXPECT_EQ(panel["id"].toInt(), expected.id);
            EXPECT_EQ(panel["constant"].toString(), expected.constant);
            const QJsonArray controls = panel["controls"].toArray();
            ASSERT_EQ(controls.size(), qsizetype(expected.controls.size()));
            for (qsizetype c = 0; c < controls.size(); c++) {
                const ExpectedControl &want = expected.controls[size_t(c)];
                const QJsonObject control = controls[c].toObject();
                SCOPED_TRACE(want.constant);
                EXPECT_EQ(control["constant"].toString(), want.constant);
                EXPECT_EQ(control["id"].toInt(), want.id);
                EXPECT_EQ(control["id"].toInt(), c + 2); // place in control order plus 1
                EXPECT_EQ(control["kind"].toString(), want.kind);
                if (want.callback)
                    EXPECT_EQ(control["callback"].toString(), want.callback);
                else
                    EXPECT_TRUE(control["callback"].isNull());
            }
        }
    }
}

TEST(PanelFiles, DifferOnlyInTextsAndLabelPositions) {
    const QJsonObject german = panelFile("ascii.uir"), english = panelFile("ascii_e.uir");
    EXPECT_EQ(withoutTexts(german), withoutTexts(english));
    EXPECT_NE(german, english);
}

TEST(PanelFiles, EveryBoundCallbackNameIsOneTheProgramKnowsOrAnExchangeCallback) {
    QStringList known;
    for (int i = 0; i < ascii_callback_count; i++) known << ascii_callbacks[i].name;
    for (const char *name :
         {"COM_PORT", "COMMAND", "ON_OFF", "QUIT", "FullText", "CloseText", "Help", "CloseHelp"})
        EXPECT_TRUE(known.contains(name)) << name;
}

struct Preset {
    const char *command, *german, *english;
};

// Labels exactly as stored, trailing and double blanks included; Latin-1 bytes.
const Preset presets[25] = {
    {"t131009123000", "Uhrzeit stellen (13.10.2009 12:30:00)", "set clock (13.10.2009 12:30:00)"},
    {"T", "Uhrzeit lesen", "read clock"},
    {"a0 030.0",
     "Analogkanal 0 (Temper) stellen (30\xb0"
     "C)",
     "adjust analogue channel 0 (Temper) "},
    {"A0", "Analogkanal 0 (Temper) Ist-/Sollwert lesen",
     "read actual/set value of analogue channel 0 (Temper)"},
    {"u0 03.50",
     "Gradient f\xfc"
     "r steigende Rampen Kanal 0 (Temper) einstellen (3.5 K/min)",
     "adjust ramprate for ramp up of channel 0 (Temper) "},
    {"u0 999.9",
     "Gradient f\xfc"
     "r steigende Rampen Kanal 0 (Temper) zur\xfc"
     "cksetzen ",
     "reset ramprate for ramp up of channel 0 (Temper) "},
    {"d0 05.48",
     "Gradient f\xfc"
     "r fallende Rampen Kanal 0 (Temper) einstellen (5.48 K/min)",
     "adjust ramprate for ramp down of channel 0 (Temper) "},
    {"d0 999.9",
     "Gradient f\xfc"
     "r fallende Rampen Kanal 0 (Temper) zur\xfc"
     "cksetzen ",
     "reset ramprate for ramp down of channel 0 (Temper) "},
    {"U0",
     "Eingestellte Gradienten f\xfc"
     "r Kanal 0 (Temper) auslesen (steigen/sinken)",
     "read ramprates for channel 0 (Temper) "},
    {"E0",
     "Eingestellter Endwert f\xfc"
     "r Rampen Kanal 0 (Temper) auslesen",
     "Read ramps terminal value of channel 0 (Temper)"},
    {"S", "Status lesen", "read status"},
    {"s1 1", "Kammer starten", "start chamber"},
    {"s1 0", "Kammer stoppen", "stop chamber"},
    {"s2 0", "Fehler quittieren", "confirm error"},
    {"s3 0", "Kammer unterbrechen (Pause)", "interrupt chamber (Pause)"},
    {"s3 1", "Kammer fortsetzen", "continue chamber"},
    {"P", "Programmstatus lesen", "read testcycle state"},
    {"p001", "Programm 1 starten", "start testcycle 1"},
    {"p000", "Programm  beenden", "terminate testcycle"},
    {"F", "Fehlertext auslesen", "read error text"},
    {"O",
     "weitere Digitalkan\xe4"
     "le lesen (Start,Fehler,Unbenutzt,Merker0..n,Softkey0..m)",
     "read further digital channels (start,error,unused,flag0..n,softkey0..m)"},
    {"o10 1",
     "weitere Digitalkan\xe4"
     "le stellen (Bsp.: Index 10 enstpricht bei Kammer mit 5 "
     "Merkerkan\xe4"
     "len dem 2.Softkey",
     "adjust further digital channels (e.g.: Index 10 means second softkey for a chamber with 5 "
     "flag channels)"},
    {"L", "Tastaturverriegelung lesen ('0':frei, '1': gesperrt Stufe 1, '2': gesperrt Stufe 2)",
     "read keyboard locking ('0':unlocked, '1': locked level 1, '2': locked level 2)"},
    {"l2", "Tastatur sperren (Stufe2)", "lock keyboard (level2)"},
    {"l0", "Tastatur freigeben", "unlock keyboard"},
};

TEST_F(Panels, PresetsPairEachLabelWithItsCommandText) {
    for (int language : {0, 1}) {
        const int panel = ui_load_main(language);
        int count = 0;
        GetNumListItems(panel, AUSWAHL, &count);
        ASSERT_EQ(count, 25);
        for (int i = 0; i < 25; i++) {
            SCOPED_TRACE(i);
            EXPECT_EQ(ui_label(panel, AUSWAHL, i),
                      language ? presets[i].english : presets[i].german);
            ASSERT_EQ(SetCtrlIndex(panel, AUSWAHL, i), 0);
            EXPECT_EQ(ui_text(panel, AUSWAHL), presets[i].command);
        }
        ui_discard_all();
    }
}

TEST_F(Panels, PortRingRunsFromCom20DownToCom1WithMatchingValues) {
    const int panel = ui_load_main(0);
    int count = 0, index = -1;
    GetNumListItems(panel, RING_COM, &count);
    ASSERT_EQ(count, 20);
    GetCtrlIndex(panel, RING_COM, &index);
    EXPECT_EQ(index, 19);
    for (int i = 0; i < 20; i++) {
        SetCtrlIndex(panel, RING_COM, i);
        EXPECT_EQ(ui_label(panel, RING_COM, i), "com" + std::to_string(20 - i));
        EXPECT_EQ(ui_int(panel, RING_COM), 20 - i);
    }
}

TEST_F(Panels, DisplayModesAndTitlesInBothLanguages) {
    struct Language {
        const char *modes[3];
        const char *titles[4]; // FEHLER, HLPPANEL, PANEL, TXTPANEL
    };
    const Language languages[2] = {
        {{"Alle \xfc"
          "bertragenen Bytes",
          "Ohne Rahmen", "Interpretiert"},
         {"Fehler !", "Codeausschnitt zur Datensatzerzeugung in \"C\"",
          "Testprogram f\xfc"
          "r Kelvra ASCII protokoll Version3.0",
          "Text"}},
        {{"All bytes in hex", "without framing", "interpreted"},
         {"Fehler !", "Codefagment to create command with framing in \"C\"",
          "Testprogramme for Kelvra ASCII protocol Version3.0", "Text"}},
    };
    for (int language : {0, 1}) {
        SCOPED_TRACE(language);
        const int panel = ui_load_main(language);
        int count = 0;
        GetNumListItems(panel, RINGSLIDE, &count);
        ASSERT_EQ(count, 3);
        for (int i = 0; i < 3; i++) {
            EXPECT_EQ(ui_label(panel, RINGSLIDE, i), languages[language].modes[i]);
            SetCtrlIndex(panel, RINGSLIDE, i);
            EXPECT_EQ(ui_int(panel, RINGSLIDE), i);
        }
        for (int id : {FEHLER, HLPPANEL, PANEL, TXTPANEL}) {
            const int loaded = LoadPanel(id == TXTPANEL ? panel : 0, panel_file(), id);
            ASSERT_GT(loaded, 0);
            EXPECT_EQ(ui_title(loaded), languages[language].titles[id - 1]);
            DiscardPanel(loaded);
        }
        ui_discard_all();
    }
}

TEST_F(Panels, ErrorPanelHoldsItsStaticText) {
    const int panel = LoadPanel(0, "ascii.uir", FEHLER);
    ASSERT_GT(panel, 0);
    EXPECT_EQ(ui_text(panel, TEXTMSG), "Kammer:");
    EXPECT_EQ(ui_text(panel, TEXTBOX), "");
    DiscardPanel(panel);
}

TEST_F(Panels, LoadingFailsCleanlyForUnknownFilesAndIds) {
    EXPECT_EQ(LoadPanel(0, "other.uir", PANEL), UIE_NO_FILE);
    EXPECT_EQ(LoadPanel(0, "ascii.uir", 99), UIE_NO_FILE);
    EXPECT_EQ(LoadPanel(12345, "ascii.uir", TXTPANEL), UIE_BAD_PANEL);
    int value = 0;
    EXPECT_EQ(GetCtrlVal(12345, KAMMER, &value), UIE_BAD_PANEL);
}

// Code with comments and white space removed, so layout and remarks do not count.
std::string codeOnly(std::string text) {
    text = std::regex_replace(text, std::regex(R"(/\*[\s\S]*?\*/|//[^\n]*)"), "");
    std::string out;
    for (char c : text)
        if (!isspace((unsigned char)c)) out += c;
    return out;
}

TEST_F(Panels, HelpListingShowsTheFrameBuilderAsBuilt) {
    std::ifstream source(KELVRA_SOURCE_DIR "/link/framing.cpp");
    ASSERT_TRUE(source) << "link/framing.cpp";
    std::stringstream built;
    built << source.rdbuf();
    const std::string builtCode = codeOnly(built.str());
    const size_t builder = builtCode.find("intcreate_framing(");
    ASSERT_NE(builder, std::string::npos);

    for (const char *file : {"ascii.uir", "ascii_e.uir"}) {
        SCOPED_TRACE(file);
        const int help = LoadPanel(0, file, HLPPANEL);
        ASSERT_GT(help, 0);
        const std::string listing = codeOnly(ui_text(help, TEXTBOX));
        const size_t shown = listing.find("intcreate_framing(");
        ASSERT_NE(shown, std::string::npos);
        EXPECT_EQ(listing.substr(shown), builtCode.substr(builder));
        char defines[200];
        std::snprintf(defines, sizeof defines,
                      "#defineSTX0x%02X#defineETX0x%02X#defineMAX_COMMAND_LENGTH%d", STX, ETX,
                      MAX_COMMAND_LENGTH);
        EXPECT_EQ(listing.substr(0, shown), defines);
        DiscardPanel(help);
    }
}

TEST_F(Panels, AddressFieldKeepsToOneToThirtyTwo) {
    const int panel = ui_load_main(0);
    for (auto [set, read] : {std::pair{0, 1}, {1, 1}, {32, 32}, {33, 32}, {-5, 1}}) {
        SetCtrlVal(panel, KAMMER, set);
        EXPECT_EQ(ui_int(panel, KAMMER), read) << set;
    }
    // typed by the operator: nothing outside the range is accepted
    QSpinBox *box = ui_widget<NumericField>(panel, KAMMER)->spinBox();
    for (auto [typed, read] : {std::pair{"32", 32}, {"7", 7}, {"40", 4}, {"0", 7}}) {
        box->selectAll();
        QTest::keyClicks(box, typed);
        QTest::keyClick(box, Qt::Key_Tab);
        EXPECT_EQ(ui_int(panel, KAMMER), read) << typed;
        box->setValue(7);
    }
}

TEST_F(Panels, CommandFieldTakesAtMost507Characters) {
    const int panel = ui_load_main(0);
    const std::string longText(600, 'x');
    SetCtrlVal(panel, SEND_STRING, longText.c_str());
    EXPECT_EQ(ui_text(panel, SEND_STRING), std::string(MAX_COMMAND_LENGTH, 'x'));
    auto *field = ui_widget<TextField>(panel, SEND_STRING);
    field->clear();
    QTest::keyClicks(field, QString(520, u'y'));
    EXPECT_EQ(ui_text(panel, SEND_STRING).size(), size_t(MAX_COMMAND_LENGTH));
}

} // namespace
