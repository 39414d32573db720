// The UI layer's switches for a run without a window: MessagePopup as one line on stderr, and
// a control's callback called as the operator's action would call it.
#include "ui/ascii.h"
#include "ui/userint.h"

#include <gtest/gtest.h>

namespace {

int calls, nestedResult;

// Bound as SENDEN: counts its calls and tries to start itself again from inside.
int countingCallback(int panel, int control, int event, void *, int eventData1, int) {
    calls++;
    EXPECT_EQ(event, EVENT_KEYPRESS);
    EXPECT_EQ(eventData1, VAL_ENTER_VKEY);
    nestedResult = CallCtrlCallback(panel, control, event, eventData1);
    return 0;
}

const CallbackBinding table[] = {{"SENDEN", countingCallback}};

class WithoutWindow : public testing::Test {
protected:
    static void SetUpTestSuite() {
        static char name[] = "cli_messages";
        static char *argv[] = {name, nullptr};
        UseNoDisplay();
        ASSERT_NE(InitCVIRTE(nullptr, argv, nullptr), 0);
    }
    void TearDown() override { SetMessagePopupOutput(MESSAGES_IN_BOXES); }
};

TEST_F(WithoutWindow, AMessageBecomesOneUtf8LineOnStderrAndIsCounted) {
    ASSERT_EQ(SetMessagePopupOutput(MESSAGES_TO_STDERR), 0);
    const int before = GetMessagePopupCount();
    testing::internal::CaptureStderr();
    MessagePopup("RS-232 Message", "com1 (/dev/ger\xe4t):\r\nno such device");
    MessagePopup("RS-232 Message", "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "RS-232 Message: com1 (/dev/ger\xc3\xa4t):  no such device\n"
              "RS-232 Message: \n");
    EXPECT_EQ(GetMessagePopupCount(), before + 2);
    EXPECT_LT(SetMessagePopupOutput(2), 0);
}

TEST_F(WithoutWindow, CallingACallbackGoesThroughTheBindingOneCallbackAtATime) {
    SetCallbackTable(table, 1);
    const int panel = LoadPanel(0, "ascii.uir", PANEL);
    ASSERT_GT(panel, 0);
    calls = 0;
    EXPECT_EQ(CallCtrlCallback(panel, SEND_STRING, EVENT_KEYPRESS, VAL_ENTER_VKEY), 0);
    EXPECT_EQ(calls, 1) << "the nested call started no second callback";
    EXPECT_EQ(nestedResult, 0);
    EXPECT_EQ(CallCtrlCallback(panel, KAMMER, EVENT_COMMIT, 0), 0) << "no callback bound";
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(CallCtrlCallback(panel, 99, EVENT_COMMIT, 0), UIE_BAD_CONTROL);
    EXPECT_EQ(CallCtrlCallback(panel + 100, SEND_STRING, EVENT_COMMIT, 0), UIE_BAD_PANEL);
    DiscardPanel(panel);
}

} // namespace
