// The link layer through the real Qt serial layer, with a pseudo-terminal as the chamber's line.
#include "link/link.h"
#include "link/rs232.h"
#include "tests/support/pty.h"
#include "tests/support/test_link.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

TestLink link; // the exchange in progress

class QtApplication : public testing::Environment {
public:
    void SetUp() override { app_ = new QCoreApplication(argc_, argv_); }
    void TearDown() override { delete app_; }

private:
    int argc_ = 1;
    char name_[12] = "link_serial";
    char *argv_[2] = {name_, nullptr};
    QCoreApplication *app_ = nullptr;
};

testing::Environment *const qtApplication = testing::AddGlobalTestEnvironment(new QtApplication);

bool contains(const std::string &text, const std::string &piece) {
    return text.find(piece) != std::string::npos;
}

std::string response(const char *payload) {
    char buffer[FRAME_BUFFER_SIZE];
    return std::string(buffer, size_t(create_framing(payload, buffer, 1)));
}

class Serial : public testing::Test {
protected:
    void SetUp() override {
        link.reset(1);
        ASSERT_TRUE(pty.ok());
        ASSERT_EQ(MapComPort(1, pty.path()), 0);
    }
    void TearDown() override {
        CloseCom(1);
        CloseCom(2);
    }

    // Sends "A0" and consumes its frame on the far end.
    void send() {
        char frame[FRAME_BUFFER_SIZE];
        ASSERT_EQ(zeichen_senden(&link.x, "A0", frame, 1), 6);
        ASSERT_EQ(pty.read(6, 1.0), std::string(frame, 6));
    }

    TestPty pty;
    char answer[FRAME_BUFFER_SIZE] = {};
};

TEST_F(Serial, TheFrameGoesOutAsExactlyNPlusFourBytes) {
    for (size_t n : {size_t(0), size_t(2), size_t(MAX_COMMAND_LENGTH)}) {
        const std::string command(n, 'T');
        char frame[FRAME_BUFFER_SIZE];

        const int written = zeichen_senden(&link.x, command.c_str(), frame, 1);
        ComPortClose(&link.x);

        EXPECT_EQ(written, int(n) + 4);
        EXPECT_EQ(pty.read(n + 100, 0.5), std::string(frame, n + 4)) << "command of " << n;
        EXPECT_TRUE(link.messages.empty());
    }
}

TEST_F(Serial, ASilentLineEndsTheReceiveAfterTheTimeOut) {
    std::vector<double> took;
    for (int run = 0; run < 3; run++) {
        send();
        const double start = Timer();
        EXPECT_EQ(zeichen_empfangen(&link.x, answer, 1), 0);
        took.push_back(Timer() - start);
        EXPECT_GE(took.back(), 0.45);
        EXPECT_LE(took.back(), 1.5);
    }
    std::sort(took.begin(), took.end());
    RecordProperty("median_silent_receive_ms", int(took[1] * 1000));
    std::printf("median receive on a silent line: %.3f s\n", took[1]);
    EXPECT_TRUE(link.messages.empty());
}

// The response is on the line before the receiver starts, as when Enter waits the link delay.
TEST_F(Serial, BytesThatArriveBeforeTheReceiveAreNotLost) {
    const std::string valid = response("a0 +023.4 +025.0");
    const struct {
        std::string line;
        double minSeconds, maxSeconds;
    } cases[] = {
        {valid, 0, 0.4},                     // nothing else waits: no quiet wait
        {valid + "\x85trailing", 0.45, 1.5}, // the rest is discarded after one quiet wait
    };
    for (const auto &c : cases) {
        send();
        ASSERT_TRUE(pty.write(c.line));
        Delay(0.3);
        const double start = Timer();

        EXPECT_EQ(zeichen_empfangen(&link.x, answer, 1), int(valid.size()) - 1);

        const double took = Timer() - start;
        EXPECT_EQ(std::string(answer), valid);
        EXPECT_GE(took, c.minSeconds);
        EXPECT_LE(took, c.maxSeconds);
    }
}

// A byte that waits in the program while the event loop runs (as during Enter's wait) keeps the
// time it came, not the time it is read.
TEST_F(Serial, AByteIsTimedWhenItReachesTheProgram) {
    send();
    const double written = Timer();
    ASSERT_TRUE(pty.write(response("S1")));
    while (Timer() - written < 0.3) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    char bytes[2];
    ASSERT_EQ(ComRd(1, bytes, 2), 2);
    double came[3] = {};
    ASSERT_EQ(GetComRdTimes(1, came, 3), 2);
    EXPECT_LT(came[0] - written, 0.1);
    EXPECT_LE(came[0], came[1]);
    EXPECT_GT(Timer() - came[1], 0.25);
}

TEST_F(Serial, APortThatCannotBeOpenedGivesOneMessageFromTheOpenAndOneFromTheWrite) {
    const struct {
        const char *device, *cause;
    } cases[] = {{"/nonexistent/ttyKelvra", "no such device"},
                 {"/dev/null", "not a serial device"}};
    for (const auto &c : cases) {
        link.reset(1);
        MapComPort(1, c.device);
        char frame[FRAME_BUFFER_SIZE];

        EXPECT_LT(zeichen_senden(&link.x, "A0", frame, 1), 0);
        ComPortClose(&link.x);

        const std::vector<std::string> &messages = link.messages;
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_TRUE(contains(messages[0], std::string("com1 (") + c.device + "): " + c.cause))
            << messages[0];
        EXPECT_TRUE(contains(messages[1], c.device)) << messages[1];
        EXPECT_TRUE(contains(messages[1], "not open")) << messages[1];
    }
}

TEST_F(Serial, ClosingTwiceIsHarmlessAndTheNextExchangeOpensAgain) {
    send();
    EXPECT_EQ(ComPortClose(&link.x), 0);
    EXPECT_EQ(ComPortClose(&link.x), 0);
    send();
    ASSERT_TRUE(pty.write(response("S1")));
    EXPECT_EQ(zeichen_empfangen(&link.x, answer, 1), 5);
    EXPECT_TRUE(link.messages.empty());
}

TEST_F(Serial, AFarEndThatDisappearsGivesAReadableMessageAndTheNextOpenTriesAfresh) {
    send();
    pty.closeMaster();
    const double start = Timer();

    EXPECT_EQ(zeichen_empfangen(&link.x, answer, 1), 0);

    EXPECT_LE(Timer() - start, 1.0);
    ASSERT_EQ(link.messages.size(), 1u);
    EXPECT_TRUE(contains(link.messages[0], pty.path()));
    EXPECT_TRUE(contains(link.messages[0], "removed while open")) << link.messages[0];

    // The vanished device is opened afresh, and fails as missing, and so the write; a new line
    // works at once.
    char frame[FRAME_BUFFER_SIZE];
    zeichen_senden(&link.x, "A0", frame, 1);
    ComPortClose(&link.x);
    ASSERT_EQ(link.messages.size(), 3u);
    EXPECT_TRUE(contains(link.messages[1], "no such device"));
    EXPECT_TRUE(contains(link.messages[2], "not open"));

    TestPty replacement;
    ASSERT_TRUE(replacement.ok());
    MapComPort(1, replacement.path());
    EXPECT_EQ(zeichen_senden(&link.x, "A0", frame, 1), 6);
    EXPECT_EQ(replacement.read(6, 1.0), std::string(frame, 6));
    ComPortClose(&link.x);
    EXPECT_EQ(link.messages.size(), 3u);
}

TEST_F(Serial, ADeviceOpenOnAnotherPortIsBusy) {
    ASSERT_EQ(OpenComConfig(1, "com1", 19200, 1, 8, 1, 2500, 2500), 0);
    MapComPort(2, pty.path());

    EXPECT_EQ(OpenComConfig(2, "com2", 19200, 1, 8, 1, 2500, 2500), RS232_BUSY);

    const std::string text = GetRS232ErrorString(ReturnRS232Err());
    EXPECT_TRUE(contains(text, std::string("com2 (") + pty.path() + "): ")) << text;
    EXPECT_TRUE(contains(text, "in use")) << text;
}

// As root the check runs in a child that gives up root, since root may open anything.
TEST_F(Serial, APermissionErrorNamesTheDialoutGroup) {
    int result[2];
    ASSERT_EQ(pipe(result), 0);
    const bool root = geteuid() == 0;
    if (!root) {
        ASSERT_EQ(chmod(pty.path(), 0), 0);
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        const int code = OpenComConfig(1, "com1", 19200, 1, 8, 1, 2500, 2500);
        const std::string text = GetRS232ErrorString(code);
        if (write(result[1], &code, sizeof code) < 0 ||
            write(result[1], text.data(), text.size()) < 0)
            _exit(3);
        _exit(0);
    }
    close(result[1]);
    int code = 0;
    char text[512] = {};
    ASSERT_EQ(read(result[0], &code, sizeof code), ssize_t(sizeof code));
    ASSERT_GT(read(result[0], text, sizeof text - 1), 0);
    close(result[0]);
    int status = 0;
    waitpid(child, &status, 0);

    EXPECT_EQ(code, RS232_PERMISSION);
    EXPECT_TRUE(contains(text, pty.path())) << text;
    EXPECT_TRUE(contains(text, "dialout")) << text;
}

TEST_F(Serial, OperationsOnAPortNotOpenFailAndChangeNothing) {
    char byte = 0;
    const struct {
        const char *name;
        int (*operation)(int port, char *byte);
    } operations[] = {
        {"SetComTime", [](int port, char *) { return SetComTime(port, 0.5); }},
        {"FlushInQ", [](int port, char *) { return FlushInQ(port); }},
        {"FlushOutQ", [](int port, char *) { return FlushOutQ(port); }},
        {"ComWrt", [](int port, char *b) { return ComWrt(port, b, 1); }},
        {"ComRd", [](int port, char *b) { return ComRd(port, b, 1); }},
        {"GetInQLen", [](int port, char *) { return GetInQLen(port); }},
        {"GetOutQLen", [](int port, char *) { return GetOutQLen(port); }},
        {"CloseCom", [](int port, char *) { return CloseCom(port); }},
    };
    for (const auto &op : operations) {
        const double start = Timer();
        EXPECT_EQ(op.operation(1, &byte), RS232_NOT_OPEN) << op.name;
        EXPECT_LT(Timer() - start, 0.1) << op.name << " waited";
        EXPECT_EQ(ReturnRS232Err(), RS232_NOT_OPEN) << op.name;
        const std::string text = GetRS232ErrorString(RS232_NOT_OPEN);
        EXPECT_TRUE(contains(text, std::string("com1 (") + pty.path() + "): the port is not open"))
            << text;
        EXPECT_EQ(op.operation(0, &byte), RS232_BAD_PORT) << op.name;
        EXPECT_EQ(op.operation(21, &byte), RS232_BAD_PORT) << op.name;
    }
    EXPECT_EQ(pty.read(1, 0.05), "") << "nothing reached the line";
}

TEST_F(Serial, RefusedNamesAndSettingsLeaveThePortClosed) {
    const struct {
        const char *name;
        int dataBits, parity;
        int code;
    } cases[] = {
        {"ttyS0", 8, 1, RS232_BAD_PORT},
        {"com0", 8, 1, RS232_BAD_PORT},
        {"com1", 9, 1, RS232_BAD_SETTINGS},
        {"com1", 8, 7, RS232_BAD_SETTINGS},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(OpenComConfig(1, c.name, 19200, c.parity, c.dataBits, 1, 2500, 2500), c.code)
            << c.name;
        EXPECT_EQ(GetInQLen(1), RS232_NOT_OPEN) << c.name;
    }
    ASSERT_EQ(OpenComConfig(1, "com1", 19200, 1, 8, 1, 2500, 2500), 0);
    EXPECT_EQ(OpenComConfig(1, "com1", 19200, 1, 8, 1, 2500, 2500), RS232_ALREADY_OPEN);
    EXPECT_EQ(GetInQLen(1), 0) << "the open port is untouched";
}

// A failure Qt names only in its own English words is given in the chosen language, with Qt's
// text beside it: a pseudo-terminal whose far end was never unlocked refuses to open.
TEST_F(Serial, AnOpenThatQtAloneExplainsIsNamedInThePanelLanguage) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(MapComPort(1, ptsname(master)), 0);
    for (const auto &[language, words] : {std::pair{0, "das Ger\xE4t l\xE4sst sich nicht \xF6"
                                                       "ffnen ("},
                                          {1, "the device cannot be opened ("}}) {
        SetRS232Language(language);
        EXPECT_EQ(OpenComConfig(1, "com1", 19200, 1, 8, 1, 2500, 2500), RS232_IO);
        const std::string text = GetRS232ErrorString(ReturnRS232Err());
        EXPECT_TRUE(contains(text, words)) << text;
        EXPECT_TRUE(contains(text, "rror)")) << "Qt's own text in parentheses: " << text;
    }
    SetRS232Language(1);
    close(master);
}

} // namespace
