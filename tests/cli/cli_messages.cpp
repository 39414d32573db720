// A port failure in a run without a window: one UTF-8 line on stderr.
#include "ui/message_line.h"

#include <gtest/gtest.h>

namespace {

TEST(WithoutWindow, AMessageBecomesOneUtf8LineOnStderr) {
    testing::internal::CaptureStderr();
    print_message_line("RS-232 Message", "com1 (/dev/ger\xe4t):\r\nno such device\x1b");
    print_message_line("RS-232 Message", "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "RS-232 Message: com1 (/dev/ger\xc3\xa4t):  no such device\\x1b\n"
              "RS-232 Message: \n");
}

} // namespace
