// Start-up and the auxiliary callbacks, driven by real Qt events on the real panels.
#include "tests/support/ui_harness.h"

#include "display/format.h"
#include "ui/ascii.h"
#include "ui/callbacks.h"
#include "ui/options.h"
#include "ui/program.h"
#include "ui/qt/controls.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <vector>

namespace {

class Window : public ::testing::Test {
protected:
    void SetUp() override { ui_init(); }
    void TearDown() override { ui_discard_all(); }
};

// Runs the event loop with steps queued into it; a stuck loop ends after 20 s with 99.
int runLoopWith(const std::function<void()> &steps) {
    QTimer::singleShot(0, steps);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QuitUserInterface(99); });
    guard.start(20000);
    return RunUserInterface();
}

void expectStartState(const char *title, const char *modeLabel) {
    ASSERT_GT(main_panel, 0);
    EXPECT_TRUE(PanelWidget(main_panel)->isVisible());
    EXPECT_EQ(ui_title(main_panel), title);
    int index = -1;
    GetCtrlIndex(main_panel, AUSWAHL, &index);
    EXPECT_EQ(index, 3);
    EXPECT_EQ(ui_text(main_panel, SEND_STRING), "A0");
    EXPECT_EQ(ui_int(main_panel, KAMMER), 1);
    EXPECT_EQ(ui_int(main_panel, RING_COM), 1);
    GetCtrlIndex(main_panel, RING_COM, &index);
    EXPECT_EQ(ui_label(main_panel, RING_COM, index), "com1");
    EXPECT_EQ(ui_int(main_panel, RINGSLIDE), 1);
    GetCtrlIndex(main_panel, RINGSLIDE, &index);
    EXPECT_EQ(ui_label(main_panel, RINGSLIDE, index), modeLabel);
    EXPECT_EQ(ui_int(main_panel, TOGGLEBUTTON), 1);
    EXPECT_EQ(ui_int(main_panel, LED), 0);
    for (int list : {ZEICHEN_GESENDET, ZEICHEN_EMPFANGEN}) {
        int count = -1;
        GetNumListItems(main_panel, list, &count);
        EXPECT_EQ(count, 0);
        GetCtrlIndex(main_panel, list, &index);
        EXPECT_EQ(index, -1);
    }
    EXPECT_EQ(txt_panel, -1);
    EXPECT_EQ(hlp_panel, -1);
}

TEST_F(Window, StartsWithTheDefaultsInEachLanguageAndQuitEndsWithZero) {
    struct Case {
        std::vector<const char *> args;
        int language;
        const char *title, *mode;
    };
    const Case cases[] = {
        {{"kelvra-ascii"},
         0,
         "Testprogram f\xfc"
         "r Kelvra ASCII protokoll Version3.0",
         "Ohne Rahmen"},
        {{"kelvra-ascii", "--lang", "en"},
         1,
         "Testprogramme for Kelvra ASCII protocol Version3.0",
         "without framing"},
        {{"kelvra-ascii", "--lang=de"},
         0,
         "Testprogram f\xfc"
         "r Kelvra ASCII protokoll Version3.0",
         "Ohne Rahmen"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.back());
        std::vector<char *> argv;
        for (const char *arg : c.args) argv.push_back(const_cast<char *>(arg));
        argv.push_back(nullptr);
        bool checked = false;
        QTimer::singleShot(0, [&] {
            expectStartState(c.title, c.mode);
            EXPECT_EQ(Fremdsprache, c.language);
            checked = true;
            QTest::mouseClick(ControlWidget(main_panel, ESC_BUTTON), Qt::LeftButton);
        });
        EXPECT_EQ(ascii_main(int(argv.size()) - 1, argv.data()), 0);
        EXPECT_TRUE(checked);
        ui_discard_all();
    }
}

TEST_F(Window, BadOptionEndsWith64BeforeAnyPanelIsLoaded) {
    char name[] = "kelvra-ascii", lang[] = "--lang", french[] = "fr";
    char *argv[] = {name, lang, french, nullptr};
    testing::internal::CaptureStderr();
    EXPECT_EQ(ascii_main(3, argv), EXIT_USAGE);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("--lang"), std::string::npos);
    EXPECT_EQ(main_panel, 0);
}

TEST_F(Window, EscAndTheCloseButtonQuitLikeTheQuitButton) {
    const std::function<void(QWidget *)> gestures[] = {
        [](QWidget *window) { QTest::keyClick(window->focusWidget(), Qt::Key_Escape); },
        [](QWidget *window) { window->windowHandle()->close(); },
    };
    for (const auto &gesture : gestures) {
        ui_load_main(0);
        QWidget *window = PanelWidget(main_panel);
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        EXPECT_EQ(runLoopWith([&] { gesture(window); }), 0);
        EXPECT_TRUE(window->isVisible()); // quitting discards nothing
        ui_discard_all();
    }
}

TEST_F(Window, ChoosingAPresetOverwritesTheCommandFieldAndFocusesIt) {
    const struct {
        int item;
        const char *command;
    } cases[] = {{14, "s3 0"}, {15, "s3 1"}, {0, "t131009123000"}};
    ui_load_main(0);
    QComboBox *presets = ui_widget<Ring>(main_panel, AUSWAHL)->comboBox();
    auto *field = ui_widget<TextField>(main_panel, SEND_STRING);
    for (const auto &c : cases) {
        SetCtrlIndex(main_panel, AUSWAHL, c.item == 0 ? 1 : c.item - 1);
        field->setText("typed by hand");
        presets->setFocus();
        QTest::keyClick(presets, c.item == 0 ? Qt::Key_Up : Qt::Key_Down);
        EXPECT_EQ(ui_text(main_panel, SEND_STRING), c.command) << c.item;
        EXPECT_EQ(PanelWidget(main_panel)->focusWidget(), field) << c.item;
    }
}

std::vector<int> keyCodes;
int recordKey(int, int control, int event, void *, int key, int) {
    if (event == EVENT_KEYPRESS && control == SEND_STRING) keyCodes.push_back(key);
    return 0;
}

TEST_F(Window, KeysInTheCommandFieldReachItsCallbackAndTheField) {
    ui_load_main(0, {{"SENDEN", recordKey}});
    auto *field = ui_widget<TextField>(main_panel, SEND_STRING);
    field->clear();
    keyCodes.clear();
    QTest::keyClick(field, Qt::Key_Return);
    QTest::keyClick(field, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(field, Qt::Key_S);
    QTest::sendKeyEvent(QTest::Click, field, Qt::Key_Adiaeresis, QString(QChar(0xe4)), {});
    EXPECT_EQ(keyCodes, (std::vector<int>{VAL_ENTER_VKEY, VAL_ENTER_VKEY, 's', 0xe4}));
    EXPECT_EQ(ui_text(main_panel, SEND_STRING), "s\xe4");
}

// Fills both histories with distinct entries, newest first.
void fillHistories() {
    for (int i = 0; i < 3; i++) {
        InsertListItem(main_panel, ZEICHEN_GESENDET, 0, ("sent " + std::to_string(i)).c_str(), 0);
        InsertListItem(main_panel, ZEICHEN_EMPFANGEN, 0, ("received " + std::to_string(i)).c_str(),
                       0);
    }
}

QWidget *modalWidget() {
    return QApplication::activeModalWidget();
}

void doubleClickItem(int list, int row) {
    auto *box = ui_widget<ListBox>(main_panel, list);
    box->doItemsLayout(); // item places are laid out lazily
    ui_double_click(box->viewport(), box->visualItemRect(box->item(row)).center());
}

void pressEnter(int list) {
    QTest::keyClick(ui_widget<ListBox>(main_panel, list), Qt::Key_Return);
}

void pressEsc(int panel) {
    QTest::keyClick(ui_widget<TextBox>(panel, TEXTBOX), Qt::Key_Escape);
}

TEST_F(Window, FullTextShowsTheSelectedEntryOfTheListThatCommitted) {
    const struct {
        int list, row;
        bool doubleClick;
        const char *entry;
    } cases[] = {
        {ZEICHEN_GESENDET, 1, true, "sent 1"},
        {ZEICHEN_EMPFANGEN, 2, true, "received 0"},
        {ZEICHEN_GESENDET, 0, false, "sent 2"},
        {ZEICHEN_EMPFANGEN, 1, false, "received 1"},
    };
    for (int language : {0, 1}) {
        ui_load_main(language);
        fillHistories();
        for (const auto &c : cases) {
            SCOPED_TRACE(c.entry);
            if (c.doubleClick) {
                doubleClickItem(c.list, c.row);
            } else {
                SetCtrlIndex(main_panel, c.list, c.row);
                pressEnter(c.list);
            }
            ASSERT_GT(txt_panel, 0);
            EXPECT_EQ(ui_text(txt_panel, TEXTBOX), c.entry);
            EXPECT_EQ(ui_title(txt_panel), "Text");
            EXPECT_EQ(modalWidget(), PanelWidget(txt_panel));
            pressEsc(txt_panel);
            EXPECT_EQ(txt_panel, -1);
            EXPECT_EQ(modalWidget(), nullptr);
        }
        ui_discard_all();
    }
}

TEST_F(Window, FullTextWithNothingSelectedShowsAnEmptyText) {
    ui_load_main(0);
    pressEnter(ZEICHEN_EMPFANGEN); // empty list
    ASSERT_GT(txt_panel, 0);
    EXPECT_EQ(ui_text(txt_panel, TEXTBOX), "");
    pressEsc(txt_panel);

    fillHistories(); // entries, but none selected
    pressEnter(ZEICHEN_GESENDET);
    ASSERT_GT(txt_panel, 0);
    EXPECT_EQ(ui_text(txt_panel, TEXTBOX), "");
}

TEST_F(Window, FullTextShowsAWholeEntryOf2555Characters) {
    ui_load_main(0);
    std::string entry;
    while (entry.size() < 2555) entry += "0x02 0x81 0xC1 \xb0\xfc ";
    entry.resize(2555);
    InsertListItem(main_panel, ZEICHEN_GESENDET, 0, entry.c_str(), 0);
    doubleClickItem(ZEICHEN_GESENDET, 0);
    ASSERT_GT(txt_panel, 0);
    EXPECT_EQ(ui_text(txt_panel, TEXTBOX), entry);
}

TEST_F(Window, TextPopupIsReusedWhileLoadedAndLoadedAfreshAfterAClose) {
    ui_load_main(0);
    fillHistories();
    SetCtrlIndex(main_panel, ZEICHEN_GESENDET, 0);
    pressEnter(ZEICHEN_GESENDET);
    const int first = txt_panel;
    ASSERT_GT(first, 0);
    EXPECT_EQ(ui_text(first, TEXTBOX), "sent 2");

    // while loaded (the main panel takes no input meanwhile, so the call is direct)
    SetCtrlIndex(main_panel, ZEICHEN_EMPFANGEN, 2);
    FullText(main_panel, ZEICHEN_EMPFANGEN, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(txt_panel, first);
    EXPECT_EQ(ui_text(first, TEXTBOX), "received 0");
    FullText(main_panel, ZEICHEN_EMPFANGEN, EVENT_KEYPRESS, nullptr, VAL_ENTER_VKEY, 0);
    EXPECT_EQ(ui_text(first, TEXTBOX), "received 0"); // only a commit acts

    ui_double_click(ui_widget<TextBox>(first, TEXTBOX)->viewport());
    EXPECT_EQ(txt_panel, -1);
    EXPECT_EQ(PanelWidget(first), nullptr);

    pressEnter(ZEICHEN_GESENDET);
    const int second = txt_panel;
    ASSERT_GT(second, 0);
    EXPECT_NE(second, first);
    EXPECT_EQ(ui_text(second, TEXTBOX), "sent 2");
    PanelWidget(second)->windowHandle()->close();
    EXPECT_EQ(txt_panel, -1);
    EXPECT_EQ(PanelWidget(second), nullptr);
}

TEST_F(Window, HelpPopupOpensAndClosesAnyNumberOfTimes) {
    const std::function<void(int)> closings[] = {
        pressEsc,
        [](int panel) { ui_double_click(ui_widget<TextBox>(panel, TEXTBOX)->viewport()); },
        [](int panel) { PanelWidget(panel)->windowHandle()->close(); },
    };
    for (int language : {0, 1}) {
        ui_load_main(language);
        int previous = -1;
        for (const auto &close : closings) {
            QTest::mouseClick(ControlWidget(main_panel, PICTUREBUTTON), Qt::LeftButton);
            ASSERT_GT(hlp_panel, 0);
            EXPECT_NE(hlp_panel, previous);
            EXPECT_EQ(modalWidget(), PanelWidget(hlp_panel));
            EXPECT_NE(ui_text(hlp_panel, TEXTBOX).find("create_framing"), std::string::npos);
            EXPECT_NE(ui_title(hlp_panel).find(language ? "Codefagment" : "Codeausschnitt"),
                      std::string::npos);
            previous = hlp_panel;
            close(hlp_panel);
            EXPECT_EQ(hlp_panel, -1);
            EXPECT_EQ(PanelWidget(previous), nullptr);
            EXPECT_EQ(modalWidget(), nullptr);
        }
        ui_discard_all();
    }
}

TEST_F(Window, AuxiliaryCallbacksIgnoreEverythingButACommit) {
    ui_load_main(0);
    SetCtrlVal(main_panel, SEND_STRING, "typed");
    for (int event : {EVENT_KEYPRESS, EVENT_TIMER_TICK}) {
        COMMAND(main_panel, AUSWAHL, event, nullptr, 0, 0);
        Help(main_panel, PICTUREBUTTON, event, nullptr, 0, 0);
        FullText(main_panel, ZEICHEN_GESENDET, event, nullptr, 0, 0);
        QUIT(main_panel, ESC_BUTTON, event, nullptr, 0, 0);
    }
    EXPECT_EQ(ui_text(main_panel, SEND_STRING), "typed");
    EXPECT_EQ(hlp_panel, -1);
    EXPECT_EQ(txt_panel, -1);
    EXPECT_EQ(runLoopWith([] { QUIT(main_panel, ESC_BUTTON, EVENT_COMMIT, nullptr, 0, 0); }), 0);
}

} // namespace
