// kelvra-chamber as a process: its line, its answers at the served addresses, and its options.
#include "tests/support/sim_fixture.h"

#include "link/link.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <regex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>

namespace {

// One request for every command letter, and the layout of its answer.
struct Letter {
    const char *request;
    const char *layout;
};

const Letter letters[] = {
    {"t131009123000", "t131009123000"},
    {"T", "T[0-9]{12}"},
    {"a0 030.0", "a"},
    {"A0", "A0 [-0-9][0-9]{2}\\.[0-9] 030\\.0"},
    {"u0 03.50", "u"},
    {"d0 05.48", "d"},
    {"U0", "U0 003\\.5 005\\.5"},
    {"E0", "E0 030\\.0"},
    {"S", "S[01]{8}[0-9]"},
    {"s1 1", "s1"},
    {"P", "P000"},
    {"p001", "p"},
    {"F", "Fno error"},
    {"O", "O1[01]{15}"},
    {"o10 1", "o10"},
    {"L", "L0"},
    {"l2", "l"},
    {"H", "H[A-Za-z ]+"},
    {"I", "Ikelvra-chamber simulator, chamber [0-9]+"},
    {"M", "M.+"},
    {"R", "R.+"},
    {"i", "i"},
    {"m", "m"},
};

TEST_F(SimLine, AnswersEveryLetterAtEachServedAddress) {
    start({"--address", "3", "--address", "32"});
    for (int address : {3, 32})
        for (const Letter &letter : letters) {
            std::string payload = ask(letter.request, address);
            EXPECT_TRUE(std::regex_match(payload, std::regex(letter.layout)))
                << letter.request << " to " << address << " answered \"" << payload << '"';
        }
}

TEST_F(SimLine, IsSilentForOtherAddressesAndInvalidFrames) {
    start({"--address", "3", "--address", "32"});
    Bytes bad_checksum = frame_of("L", 3);
    bad_checksum[3] ^= 0x01;
    Bytes checksum_without_bit7 = frame_of("L", 3);
    checksum_without_bit7[3] &= 0x7F;
    Bytes body_byte_without_bit7 = frame_of("A0", 3);
    body_byte_without_bit7[3] = '0';
    Bytes unknown_letter = frame_of("B", 3);

    Bytes all;
    for (int address : {1, 2, 4, 31})
        for (const Letter &letter : letters) {
            Bytes frame = frame_of(letter.request, address);
            all.insert(all.end(), frame.begin(), frame.end());
        }
    for (const Bytes &frame : {bad_checksum, checksum_without_bit7, body_byte_without_bit7,
                               unknown_letter, frame_of("L", 3)})
        all.insert(all.end(), frame.begin(), frame.end());
    send_bytes(port, all);
    // Only the last frame asks anything: exactly its answer comes back.
    EXPECT_EQ(hex(read_until_quiet(port, 300, 3000)), hex(frame_of("L0", 3)));
}

TEST_F(SimLine, KeepsTheStateOfEachChamber) {
    start({"--address", "3", "--address", "32"});
    const struct Step {
        const char *request;
        int address;
        const char *answer; // a regular expression
    } steps[] = {
        // Each step sees what the steps before it left; the two chambers never mix.
        {"a0 030.0", 3, "a"},
        {"A0", 3, "A0 [0-9]{3}\\.[0-9] 030\\.0"},
        {"E0", 3, "E0 030\\.0"},
        {"A0", 32, "A0 [0-9]{3}\\.[0-9] 025\\.0"},
        {"a0 -10.0", 32, "a"},
        {"E0", 32, "E0 -10\\.0"},
        {"u0 03.50", 32, "u"},
        {"d0 999.9", 32, "d"},
        {"U0", 32, "U0 003\\.5 999\\.9"},
        {"t131009123000", 3, "t131009123000"},
        {"T", 3, "T13100912300[01]"},
        {"s1 1", 3, "s1"},
        {"o10 1", 3, "o10"},
        {"O", 3, "O1000000001000000"},
        {"O", 32, "O0000000000000000"},
        {"p001", 3, "p"},
        {"P", 3, "P001"},
        {"P", 32, "P000"},
        {"l2", 3, "l"},
        {"L", 3, "L2"},
        {"L", 32, "L0"},
    };
    for (const Step &step : steps) {
        std::string answer = ask(step.request, step.address);
        EXPECT_TRUE(std::regex_match(answer, std::regex(step.answer)))
            << step.request << " to " << step.address << " answered \"" << answer << '"';
    }
}

double actual_of(const std::string &answer) {
    return strtod(answer.substr(3, 5).c_str(), nullptr);
}

TEST_F(SimLine, ActualValueMovesAtTheRampRateInRealTime) {
    start({});
    ASSERT_EQ(ask("u0 120.0", 1), "u"); // 2 K/s
    ASSERT_EQ(ask("a0 060.0", 1), "a");
    double sent1 = seconds_now();
    double first = actual_of(ask("A0", 1));
    double received1 = seconds_now();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    double sent2 = seconds_now();
    double second = actual_of(ask("A0", 1));
    double received2 = seconds_now();
    // Answers show tenths; the chamber's moments of reading lie within the exchanges.
    EXPECT_GE(second - first, 2.0 * (sent2 - received1) - 0.15);
    EXPECT_LE(second - first, 2.0 * (received2 - sent1) + 0.15);
}

TEST_F(SimLine, LineIsRawFromTheStartAndSurvivesReopening) {
    start({});
    for (int round = 0; round < 3; round++) {
        int fd = open(sim->path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        struct termios settings;
        ASSERT_EQ(tcgetattr(fd, &settings), 0);
        EXPECT_EQ(settings.c_lflag & (ECHO | ICANON), 0u) << "round " << round;
        Bytes answer = exchange(fd, "L", 1);
        EXPECT_EQ(hex(answer), hex(frame_of("L0", 1))) << "round " << round;
        close(fd);
    }
}

TEST_F(SimLine, WaitsTheDelayBeforeAnswering) {
    start({"--delay", "300"});
    double sent = seconds_now();
    send_bytes(port, frame_of("L", 1));
    Bytes answer = read_until_quiet(port, 100, 2000);
    EXPECT_EQ(hex(answer), hex(frame_of("L0", 1)));
    EXPECT_GE(seconds_now() - sent, 0.3);
}

TEST_F(SimLine, VerboseLogsRequestsAndAnswersInHexAndText) {
    start({"--verbose"});
    send_bytes(port, frame_of("L", 2));
    send_bytes(port, frame_of("B", 1));
    EXPECT_EQ(ask("L", 1), "L0");
    std::string log = sim->stderr_text();
    for (const char *line : {
             "kelvra-chamber: ignored: 02 82: address not served\n",
             "kelvra-chamber: request to 1: 02 81 C2 C3 03 \"B\"\n",
             "kelvra-chamber: no answer: \"B\": unknown command letter\n",
             "kelvra-chamber: request to 1: 02 81 CC CD 03 \"L\"\n",
             "kelvra-chamber: answer from 1: 02 81 CC B0 FD 03 \"L0\"\n",
         })
        EXPECT_NE(log.find(line), std::string::npos) << line << "missing in:\n" << log;
}

TEST_F(SimLine, ServesASerialDeviceAt19200With8O1) {
    const Descriptor masterSide{posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK)};
    const int master = masterSide.fd;
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    std::string device = ptsname(master);
    const Descriptor deviceSide{open(device.c_str(), O_RDWR | O_NOCTTY)}; // keeps it alive
    const int watch = deviceSide.fd;
    ASSERT_GE(watch, 0);

    sim = std::make_unique<SimProcess>(std::vector<std::string>{"--device", device});
    ASSERT_EQ(sim->path(), device) << sim->stderr_text();
    struct termios settings;
    ASSERT_EQ(tcgetattr(watch, &settings), 0);
    EXPECT_EQ(cfgetospeed(&settings), (speed_t)B19200);
    EXPECT_EQ(cfgetispeed(&settings), (speed_t)B19200);
    // A pseudo-terminal keeps no parity enable bit, but the rest of 8O1 shows.
    EXPECT_EQ(settings.c_cflag & (CSIZE | PARODD | CSTOPB | CRTSCTS), (tcflag_t)(CS8 | PARODD));
    EXPECT_EQ(settings.c_lflag & (ECHO | ICANON), 0u);

    struct termios raw;
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);
    EXPECT_EQ(hex(exchange(master, "L", 1)), hex(frame_of("L0", 1)));
    EXPECT_EQ(sim->stop(), 0) << sim->stderr_text(); // before the device side goes away
    sim.reset();
}

std::string temp_dir() {
    char name[] = "/tmp/kelvra-chamber-test-XXXXXX";
    return mkdtemp(name) ? name : "";
}

std::string link_target(const std::string &link) {
    char target[256];
    ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    return n < 0 ? "" : std::string(target, n);
}

TEST(SimLink, IsMadeAndRemovedAtTheEnd) {
    std::string dir = temp_dir();
    std::string link = dir + "/com1";
    ASSERT_EQ(symlink("/nonexistent/earlier-run", link.c_str()), 0); // stale: replaced
    {
        SimProcess sim({"--link", link});
        ASSERT_TRUE(sim.started());
        EXPECT_EQ(link_target(link), sim.path());
        int fd = open_port(link);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(hex(exchange(fd, "L", 1)), hex(frame_of("L0", 1)));
        close(fd);
        EXPECT_EQ(sim.stop(SIGINT), 0) << sim.stderr_text();
    }
    struct stat info;
    EXPECT_NE(lstat(link.c_str(), &info), 0) << "the link is still there";
    rmdir(dir.c_str());
}

TEST(SimLink, LeavesAnythingButALinkAlone) {
    std::string dir = temp_dir();
    std::string file = dir + "/com1";
    FILE *f = fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fclose(f), 0);
    std::string out, err;
    EXPECT_EQ(run_sim({"--link", file}, &out, &err), 1);
    EXPECT_NE(err.find("cannot make the link " + file), std::string::npos) << err;
    struct stat info;
    EXPECT_EQ(lstat(file.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    unlink(file.c_str());
    rmdir(dir.c_str());
}

TEST(SimOptions, HelpDocumentsEveryOptionFaultAndLetter) {
    std::string out, err;
    ASSERT_EQ(run_sim({"--help"}, &out, &err), 0) << err;
    for (const char *word :
         {"--pty",     "--device",      "--link",   "--tcp",         "--bind",        "--pace",
          "--address", "--delay",       "--fault ", "--fault-every", "--byte-gap",    "--verbose",
          "--help",    "--version",     "silent",   "bad-checksum",  "wrong-address", "stray-byte",
          "trailing",  "bad-then-good", "slow",     "noise",         "oversize",      "\n  H ",
          "\n  I ",    "\n  M ",        "\n  R ",   "i..., m..."})
        EXPECT_NE(out.find(word), std::string::npos) << word;
}

// A usage error is one line naming the option and its fault, with status 64; a line that cannot
// be opened is status 1.
TEST(SimOptions, RefusesBadArgumentsWithAMessage) {
    const struct Case {
        std::vector<std::string> args;
        int status;
        const char *message;
    } cases[] = {
        {{"--address", "33"}, 64, "--address 33: the address must be 1 to 32, or a range"},
        {{"--address", "0"}, 64, "--address 0: the address must be 1 to 32"},
        {{"--address=1x"}, 64, "--address 1x: the address must be 1 to 32"},
        {{"--address"}, 64, "option --address needs a value (N[-M])"},
        {{"--fault", "loud"}, 64, "--fault loud: no fault of that name"},
        {{"--fault", "none"}, 64, "--fault none: no fault of that name"},
        {{"--fault-every", "0"}, 64, "--fault-every 0: K must be a whole number from 1 up"},
        {{"--byte-gap", "-5"}, 64, "--byte-gap -5: the byte gap must be 1 to 60000 milliseconds"},
        {{"--delay", "soon"}, 64, "--delay soon: the delay must be 0 to 60000 milliseconds"},
        {{"--tcp", "65536"}, 64, "--tcp 65536: the TCP port must be 0 (any free one) to 65535"},
        {{"--tcp", "0", "--bind", "localhost"}, 64, "--bind localhost: not a numeric IPv4 or IPv6"},
        {{"--pace", "49"}, 64, "--pace 49: the baud rate must be 50 to 4000000"},
        {{"--pace", "19200.0"}, 64, "--pace 19200.0: the baud rate must be"},
        {{"--verbose=yes"}, 64, "option --verbose takes no value"},
        {{"--bogus"}, 64, "unknown option '--bogus' (see kelvra-chamber --help)"},
        {{"com1"}, 64, "unknown option 'com1'"},
        {{"--pty", "--device", "/dev/null"}, 64, "options --pty and --device exclude each other"},
        {{"--tcp", "0", "--device", "/dev/null"}, 64, "options --tcp and --device exclude"},
        {{"--link", "/tmp/x", "--tcp", "0"}, 64, "options --tcp and --link exclude each other"},
        {{"--bind", "::1"}, 64, "option --bind needs --tcp"},
        {{"--help", "--bogus"}, 64, "unknown option '--bogus'"},
        {{"--device", "/nonexistent/ttyS0"},
         1,
         "cannot open /nonexistent/ttyS0: No such file or directory"},
    };
    for (const Case &c : cases) {
        std::string out, err;
        EXPECT_EQ(run_sim(c.args, &out, &err), c.status) << c.args[0];
        EXPECT_EQ(err.rfind(std::string("kelvra-chamber: ") + c.message, 0), 0u) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_EQ(out, "") << c.args[0];
    }
}

TEST(SimOptions, VersionAndHelpGoToStandardOutputOrFailWith74) {
    std::string out, err;
    EXPECT_EQ(run_sim({"--version"}, &out, &err), 0) << err;
    EXPECT_EQ(out, "kelvra-chamber " KELVRA_VERSION "\n");
    for (const char *option : {"--help", "--version"}) {
        std::string command = std::string(KELVRA_CHAMBER " ") + option + " >/dev/full 2>/dev/null";
        int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 74) << option << ": " << status;
    }
}

} // namespace
