// --map comN=DEVICE: repeatable, points a port name at a device, and a malformed value ends the
// program at start with a one-line message and exit status 64.
#include "link/rs232.h"
#include "ui/options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

int parse(std::vector<const char *> args, std::string *message) {
    std::vector<char *> argv{const_cast<char *>("kelvra-ascii")};
    for (const char *arg : args) argv.push_back(const_cast<char *>(arg));
    argv.push_back(nullptr);
    testing::internal::CaptureStderr();
    const int result = parse_options(int(argv.size()) - 1, argv.data());
    *message = testing::internal::GetCapturedStderr();
    return result;
}

TEST(MapOption, PointsEachNamedPortAtItsDevice) {
    std::string message;
    EXPECT_EQ(parse({"--map", "com1=/dev/pts/7", "--map=com20=/dev/ttyUSB0", "--lang", "en",
                     "--map", "COM3=/tmp/a=b"},
                    &message),
              OPTIONS_CONTINUE);
    EXPECT_EQ(message, "");
    EXPECT_STREQ(ComPortDevice(1), "/dev/pts/7");
    EXPECT_STREQ(ComPortDevice(20), "/dev/ttyUSB0");
    EXPECT_STREQ(ComPortDevice(3), "/tmp/a=b");
    EXPECT_STREQ(ComPortDevice(2), "/dev/ttyS1"); // unmapped: the platform's own name

    EXPECT_EQ(parse({"--map", "com1=/dev/ttyACM0"}, &message), OPTIONS_CONTINUE);
    EXPECT_STREQ(ComPortDevice(1), "/dev/ttyACM0"); // a later --map wins
}

TEST(MapOption, AMalformedValueIsRefusedWithItsOwnMessage) {
    const std::string tooLong = "com2=/" + std::string(300, 'd');
    const struct {
        std::vector<const char *> args;
        const char *message;
    } cases[] = {
        {{"--map"}, "option --map needs a value (comN=DEVICE)"},
        {{"--map", "com1"}, "--map com1: expected comN=DEVICE"},
        {{"--map", "com0=/dev/x"}, "--map com0=/dev/x: the port must be com1 to com20"},
        {{"--map", "com21=/dev/x"}, "the port must be com1 to com20"},
        {{"--map", "ttyS0=/dev/x"}, "expected comN=DEVICE"},
        {{"--map=com2="}, "--map com2=: the device is missing after '='"},
        {{"--map", tooLong.c_str()}, "the device path is too long"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        std::string message;
        EXPECT_EQ(parse(c.args, &message), EXIT_USAGE);
        EXPECT_EQ(message.rfind("kelvra-ascii: ", 0), 0u) << message;
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), message.size() - 1) << "one line: " << message;
    }
}

TEST(MapOption, TheProgramEndsWithStatus64BeforeItOpensAWindow) {
    // no display is needed: the options are read first
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                std::string(KELVRA_ASCII) + " --map com99=/dev/null 2>&1";
    FILE *program = popen(command.c_str(), "r");
    ASSERT_NE(program, nullptr);
    std::string output;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, program)) output += buffer;
    const int status = pclose(program);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 64);
    EXPECT_EQ(output, "kelvra-ascii: --map com99=/dev/null: the port must be com1 to com20\n");
}

} // namespace
