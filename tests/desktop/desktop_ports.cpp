// Port assistance through the real serial layer: the port hint in both languages, --list-ports,
// and the open failures that name who holds a port and how to mend it. Pseudo-terminals stand
// in for serial devices; where root could open anything, a child gives root up first.
#include "display/format.h"
#include "link/rs232.h"
#include "tests/support/pty.h"
#include "ui/options.h"
#include "ui/ports.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <regex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char missingDevice[] = "/nonexistent/kelvra-tty";

bool contains(const std::string &text, const std::string &piece) {
    return text.find(piece) != std::string::npos;
}

// Runs work in a child process that is no longer root (if it was) and returns what it returns.
std::string asOrdinaryUser(const std::function<std::string()> &work) {
    int channel[2];
    if (pipe(channel) != 0) return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        const std::string result = work();
        const bool sent = write(channel[1], result.data(), result.size()) == ssize_t(result.size());
        _exit(sent ? 0 : 3);
    }
    close(channel[1]);
    std::string result;
    char buffer[1024];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, size_t(n));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? result : "child failed";
}

std::string hint(int port) {
    char text[512];
    port_hint(port, text, sizeof text);
    return text;
}

// "code|text" of an open of com2 with the line settings, closed again at once.
std::string openCom2() {
    const int code = OpenComConfig(2, "com2", 19200, 1, 8, 1, 2500, 2500);
    const std::string text = GetRS232ErrorString(code);
    CloseCom(2);
    return std::to_string(code) + "|" + text;
}

class Ports : public testing::Test {
protected:
    // The serial layer needs an application object, though no running event loop.
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "desktop_tests", *argv[] = {name, nullptr};
        application = new QCoreApplication(argc, argv);
    }
    static void TearDownTestSuite() { delete application; }
    static inline QCoreApplication *application = nullptr;

    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        ASSERT_EQ(MapComPort(1, pty.path()), 0);
        ASSERT_EQ(MapComPort(2, missingDevice), 0);
        ASSERT_EQ(MapComPort(3, "rfc2217://[::1]:4001"), 0);
    }
    void TearDown() override {
        Fremdsprache = 0;
        CloseCom(1);
        CloseCom(2);
    }
    TestPty pty;
};

TEST_F(Ports, HintNamesTheDeviceAndWhetherItIsThereInEachLanguage) {
    const std::string device = pty.path();
    const struct {
        int language, port;
        std::string first;  // the hint's first line, whole
        const char *advice; // a piece of the rest; null when the hint has one line
    } cases[] = {
        {0, 1,
         "com1 \xf6"
         "ffnet " +
             device + " (vorhanden)",
         nullptr},
        {1, 1, "com1 opens " + device + " (found)", nullptr},
        {0, 2,
         std::string("com2 \xf6"
                     "ffnet ") +
             missingDevice + ", das nicht vorhanden ist.",
         "--map com2=GER\xc4"
         "T"},
        {1, 2, std::string("com2 opens ") + missingDevice + ", which is not there.",
         "--map com2=DEVICE"},
        {0, 3,
         "com3 \xf6"
         "ffnet rfc2217://[::1]:4001, einen Ger\xe4"
         "teserver im Netz (RFC 2217, der seine Leitung auf 19200 8O1 stellt);",
         "beim n\xe4"
         "chsten Austausch"},
    };
    for (const auto &c : cases) {
        Fremdsprache = c.language;
        const std::string text = hint(c.port);
        EXPECT_EQ(text.substr(0, text.find('\n')), c.first);
        if (c.advice) {
            EXPECT_TRUE(contains(text, c.advice)) << text;
            EXPECT_EQ(contains(text, "kelvra-ascii --list-ports"), c.port == 2) << text;
        } else {
            EXPECT_EQ(text.find('\n'), std::string::npos) << text;
        }
    }
}

TEST_F(Ports, HintForADeviceTheUserMayNotOpenNamesTheDialoutGroup) {
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(pty.path(), 0), 0);
    }
    for (int language : {0, 1}) {
        Fremdsprache = language;
        const std::string text = asOrdinaryUser([] { return hint(1); });
        EXPECT_TRUE(contains(text, language ? "which this user may not open"
                                            : "das dieser Benutzer nicht \xf6"
                                              "ffnen darf"))
            << text;
        EXPECT_TRUE(contains(text, "usermod -aG dialout")) << text;
    }
}

TEST_F(Ports, HintIsCutToItsBuffer) {
    Fremdsprache = 1;
    const std::string whole = hint(2);
    char small[12];
    EXPECT_EQ(port_hint(2, small, sizeof small), 11);
    EXPECT_EQ(std::string(small), whole.substr(0, 11));
    EXPECT_EQ(port_hint(2, small, 0), 0);
}

// Linux keeps /dev/ttyS nodes for ports the machine does not have; such a node is no port.
TEST_F(Ports, ABuiltInPortNodeWithNoPortBehindItIsMissing) {
    SystemComPort listed[64];
    const int count = GetSystemComPorts(listed, 64);
    ASSERT_LE(count, 64);
    for (int n = 0; n < 64; n++) {
        const std::string node = "/dev/ttyS" + std::to_string(n);
        bool known = false;
        for (int i = 0; i < count; i++) known = known || node == listed[i].path;
        if (known || access(node.c_str(), R_OK | W_OK) != 0) continue;
        ASSERT_EQ(MapComPort(3, node.c_str()), 0);
        EXPECT_EQ(CheckComPort(3), RS232_NO_DEVICE) << node;
        return;
    }
    GTEST_SKIP() << "this machine has no /dev/ttyS node without a port";
}

TEST_F(Ports, ListPortsPrintsTheSystemsPortsAndEveryPortNameThenEndsWithZero) {
    SystemComPort listed[64];
    const int count = std::min(GetSystemComPorts(listed, 64), 64);
    char name[] = "kelvra-ascii", option[] = "--list-ports";
    char *argv[] = {name, option, nullptr};

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(parse_options(2, argv), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    const std::string system = out.substr(0, out.find("\n\n"));
    for (int i = 0; i < count; i++) {
        EXPECT_TRUE(contains(system, std::string("\n  ") + listed[i].path)) << listed[i].path;
        if (listed[i].byId[0]) {
            EXPECT_TRUE(contains(system, listed[i].byId));
        }
    }
    if (count == 0) {
        EXPECT_TRUE(contains(system, "none found"));
    }
    const std::string names = out.substr(out.find("\n\n"));
    const std::string lines[] = {
        "  com1 +" + std::string(pty.path()) + " +found",
        "  com2 +" + std::string(missingDevice) + " +missing",
        R"(  com3 +rfc2217://\[::1\]:4001 +network port \(RFC 2217, line set to 19200 8O1\))",
        "  com20 +" + std::string(ComPortDevice(20)) + " +(found|missing|no access.*)",
    };
    for (const std::string &line : lines)
        EXPECT_TRUE(std::regex_search(names, std::regex("\n" + line + "\n"))) << line << "\n"
                                                                              << out;
    EXPECT_TRUE(contains(names, "kelvra-ascii --map com1=")) << "an example of --map";
}

// The three reasons a present device will not open for us, each with its mending.
TEST_F(Ports, ABusyPortSaysWhoHoldsItAndHowToMendIt) {
    MapComPort(2, pty.path());

    // held by a running program: this one, through its own open of com1
    ASSERT_EQ(OpenComConfig(1, "com1", 19200, 1, 8, 1, 2500, 2500), 0);
    std::string result = openCom2();
    CloseCom(1);
    EXPECT_EQ(result.substr(0, result.find('|')), std::to_string(RS232_BUSY));
    EXPECT_TRUE(contains(result, "com2 (" + std::string(pty.path()) +
                                     "): in use by desktop_tests "
                                     "(process " +
                                     std::to_string(getpid()) +
                                     "), which holds the "
                                     "lock file /"))
        << result;
    EXPECT_TRUE(contains(result, "close that program")) << result;

    // opened exclusively by a program that takes no lock file
    const int holder = open(pty.path(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    // cppcheck-suppress resourceLeak ; nothing is open when the assertion fails
    ASSERT_GE(holder, 0);
    const bool exclusive = ioctl(holder, TIOCEXCL) == 0 && chmod(pty.path(), 0666) == 0;
    if (exclusive) result = asOrdinaryUser(openCom2);
    close(holder);
    ASSERT_TRUE(exclusive);
    EXPECT_EQ(result.substr(0, result.find('|')), std::to_string(RS232_BUSY));
    EXPECT_TRUE(contains(result, "opened it exclusively")) << result;
    EXPECT_TRUE(contains(result, std::string("fuser -v ") + pty.path())) << result;
}

// A lock file that outlived its program and that we may not remove (root's, in the sticky lock
// directory) is named with the advice to remove it.
TEST_F(Ports, AStaleLockFileThatCannotBeRemovedIsNamed) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to leave a lock file others cannot remove";
    const std::string lock =
        "/var/lock/LCK.." +
        std::regex_replace(std::string(pty.path()).substr(5), std::regex("/"), "_");
    FILE *file = fopen(lock.c_str(), "wx");
    if (!file) GTEST_SKIP() << "cannot make " << lock;
    fprintf(file, "%10d\n", 99999999); // no such process
    (void)fclose(file);
    ASSERT_EQ(chmod(pty.path(), 0666), 0);
    MapComPort(2, pty.path());

    const std::string result = asOrdinaryUser(openCom2);
    unlink(lock.c_str());

    EXPECT_EQ(result.substr(0, result.find('|')), std::to_string(RS232_BUSY));
    EXPECT_TRUE(
        contains(result, "locked by the lock file " + lock + " of a program that has ended"))
        << result;
    EXPECT_TRUE(contains(result, "remove that file")) << result;
}

} // namespace
