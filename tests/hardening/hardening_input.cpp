// What the command field takes, whichever way the text comes in: a paste longer than a frame
// holds is cut to the longest command, and characters beyond Latin-1, typed or pasted, never
// reach the line; what the field shows is what is sent.
#include "link/link.h"
#include "tests/support/exchange_window.h"
#include "ui/ascii.h"
#include "ui/program.h"
#include "ui/qt/controls.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Replaces the field's text by the keyboard: select all, then paste text or type it, each
// character as the key event that a keyboard layout producing it would send.
void enter_text(TextField *field, const QString &text, bool paste) {
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    if (paste) {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        return;
    }
    for (QChar character : text)
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(character),
                            Qt::NoModifier);
}

// What mode 1 shows of a command text: every byte with bit 7 cleared.
std::string without_bit7(std::string text) {
    for (char &c : text) c = char(c & 0x7F);
    return text;
}

TEST(Input, TheFieldKeepsWhatAFrameHoldsInLatin1AndSendsExactlyWhatItShows) {
    const struct {
        const char *name;
        bool paste;
        QString text;
        std::string kept; // the command text the field keeps and the frame carries
    } cases[] = {
        {"600 characters pasted", true, QString(600, QLatin1Char('x')),
         std::string(MAX_COMMAND_LENGTH, 'x')},
        {"Latin-1 beyond ASCII typed", false,
         QString::fromLatin1("a0 \xb0"
                             "1"),
         "a0 \xb0"
         "1"},
        {"a euro sign typed", false, QString::fromUtf8("A\u20ac0"), "A0"},
        {"CJK and an emoji pasted", true, QString::fromUtf8("S\u4e2d\U0001F600 1"), "S 1"},
        {"only characters beyond Latin-1 pasted", true, QString::fromUtf8("\u2603\u2603"), ""},
    };
    ScriptedChamber chamber; // answers with the same text
    ASSERT_TRUE(chamber.ok());
    load_main_for_enter(chamber.path());
    auto *field = ui_widget<TextField>(main_panel, SEND_STRING);
    ASSERT_NE(field, nullptr);
    ASSERT_FALSE(QGuiApplication::clipboard() == nullptr);

    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const size_t lineBefore = chamber.line().size();
        const size_t sentBefore = history(ZEICHEN_GESENDET).size();

        enter_text(field, c.text, c.paste);
        EXPECT_EQ(field->text(), QString::fromLatin1(c.kept.data(), qsizetype(c.kept.size())));
        press_enter();

        const std::string line = chamber.line().substr(lineBefore);
        if (c.kept.empty()) {
            EXPECT_EQ(line, "") << "an empty field sends nothing";
            EXPECT_EQ(history(ZEICHEN_GESENDET).size(), sentBefore);
            continue;
        }
        EXPECT_EQ(line, ScriptedChamber::frame(c.kept));
        EXPECT_LE(line.size(), size_t(FRAME_BUFFER_SIZE - 1));
        EXPECT_EQ(history(ZEICHEN_GESENDET).front(), without_bit7(c.kept));
        EXPECT_EQ(history(ZEICHEN_EMPFANGEN).front(), without_bit7(c.kept));
        EXPECT_EQ(ui_int(main_panel, LED), 1);
    }
    ui_discard_all();
}

} // namespace
