// The display mode is read once per exchange: a change holds for later exchanges only, and
// both entries of one exchange are shown in the same mode.
#include "tests/support/exchange_window.h"
#include "ui/ascii.h"
#include "ui/program.h"
#include "ui/qt/controls.h"

#include <QAbstractItemModel>

#include <gtest/gtest.h>

namespace {

std::string answer(const std::string &, int) {
    return ScriptedChamber::frame("A0 023.5 025.0");
}

class Modes : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(chamber.ok());
        load_main_for_enter(chamber.path());
    }
    void TearDown() override { ui_discard_all(); }

    ScriptedChamber chamber{answer};
};

const char *const HEX_SENT = "0x02 0x81 0xC1 0xB0 0xF0 0x03 ";
const char *const HEX_RECEIVED = "0x02 0x81 0xC1 0xB0 0xA0 0xB0 0xB2 0xB3 0xAE 0xB5 0xA0 0xB0 "
                                 "0xB2 0xB5 0xAE 0xB0 0xF3 0x03 ";
const char *const SENTENCE_SENT = "Lesen der Ist-/Sollwerte des Kanal 0.";
const char *const SENTENCE_RECEIVED = "Werte das Kanal 0: Istwert =  23.5, Sollwert =  25.0";

TEST_F(Modes, AChangeHoldsForLaterExchangesOnly) {
    press_enter(); // mode 1 from the start
    choose_mode(0);
    press_enter();
    choose_mode(2);
    press_enter();

    EXPECT_EQ(history(ZEICHEN_GESENDET), (std::vector<std::string>{SENTENCE_SENT, HEX_SENT, "A0"}));
    EXPECT_EQ(history(ZEICHEN_EMPFANGEN),
              (std::vector<std::string>{SENTENCE_RECEIVED, HEX_RECEIVED, "A0 023.5 025.0"}));
}

TEST_F(Modes, BothEntriesOfAnExchangeUseTheModeReadAtItsStart) {
    // the operator moves the slider to mode 0 between the two entries of one exchange
    auto *lists = ui_widget<ListBox>(main_panel, ZEICHEN_GESENDET)->model();
    auto *slider = ui_widget<RingSlide>(main_panel, RINGSLIDE)->slider();
    QObject::connect(lists, &QAbstractItemModel::rowsInserted, slider,
                     [slider] { slider->setValue(0); });

    choose_mode(2);
    press_enter();
    EXPECT_EQ(ui_int(main_panel, RINGSLIDE), 0);
    press_enter();

    EXPECT_EQ(history(ZEICHEN_GESENDET), (std::vector<std::string>{HEX_SENT, SENTENCE_SENT}));
    EXPECT_EQ(history(ZEICHEN_EMPFANGEN),
              (std::vector<std::string>{HEX_RECEIVED, SENTENCE_RECEIVED}));
}

} // namespace
