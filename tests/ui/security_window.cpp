// What the line carried shows in the window without acting on it: control characters in a
// history entry and in its full text appear as symbols, while the entry reads back as it came.
#include "tests/support/ui_harness.h"
#include "ui/ascii.h"
#include "ui/callbacks.h"
#include "ui/program.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QStyledItemDelegate>

#include <gtest/gtest.h>

namespace {

TEST(SecurityWindow, ControlCharactersShowAsSymbolsAndReadBackAsTheyCame) {
    ui_init();
    ui_load_main(0);
    const std::string entry = "A0 \x1b[2J\n\x7f";
    const QString shown = QStringLiteral("A0 \u241b[2J\u240a\u2421");
    InsertListItem(main_panel, ZEICHEN_EMPFANGEN, 0, entry.c_str(), 0);
    SetCtrlIndex(main_panel, ZEICHEN_EMPFANGEN, 0);

    auto *list = ui_widget<QListWidget>(main_panel, ZEICHEN_EMPFANGEN);
    ASSERT_NE(list, nullptr);
    auto *delegate = dynamic_cast<QStyledItemDelegate *>(list->itemDelegate());
    ASSERT_NE(delegate, nullptr);
    EXPECT_EQ(delegate->displayText(list->item(0)->text(), QLocale()), shown);
    EXPECT_EQ(ui_label(main_panel, ZEICHEN_EMPFANGEN, 0), entry);

    FullText(main_panel, ZEICHEN_EMPFANGEN, EVENT_COMMIT, nullptr, 0, 0);
    auto *box = ui_widget<QPlainTextEdit>(txt_panel, TEXTBOX);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->toPlainText(), shown);
    EXPECT_EQ(ui_text(txt_panel, TEXTBOX), entry);
    ui_discard_all();
}

} // namespace
