// The options that print and exit, run as the installed program would be: kelvra-ascii as a
// process with no display at all, so that any window or application object would fail it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Outcome {
    int status = -1; // exit status, -1 if it did not exit normally
    std::string out, err;
};

std::string slurp(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, size_t(n));
    close(fd);
    return text;
}

// Runs kelvra-ascii with args, without DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM.
Outcome runTool(const std::vector<std::string> &args) {
    char outName[] = "/tmp/kelvra-out-XXXXXX", errName[] = "/tmp/kelvra-err-XXXXXX";
    const int out = mkstemp(outName), err = mkstemp(errName);
    Outcome run;
    if (out < 0 || err < 0) return run;
    const pid_t child = fork();
    if (child == 0) {
        dup2(out, 1);
        dup2(err, 2);
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) unsetenv(name);
        std::vector<char *> argv{const_cast<char *>(KELVRA_ASCII)};
        for (const std::string &arg : args) argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        execv(KELVRA_ASCII, argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    lseek(out, 0, SEEK_SET);
    lseek(err, 0, SEEK_SET);
    run.out = slurp(out);
    run.err = slurp(err);
    unlink(outName);
    unlink(errName);
    return run;
}

bool contains(const std::string &text, const std::string &piece) {
    return text.find(piece) != std::string::npos;
}

TEST(PrintingOptions, WorkWithoutADisplayAndRunTheFirstThatPrintsOnceAllAreRead) {
    const struct {
        std::vector<std::string> args;
        int status;
        const char *out, *err; // pieces of the output; "" for an empty one
    } cases[] = {
        {{"--version"}, 0, "kelvra-ascii " KELVRA_VERSION "\n", ""},
        {{"--help"}, 0, "Usage: kelvra-ascii [OPTION]...\n", ""},
        {{"--list-ports"}, 0, "Port names and the devices they open:\n", ""},
        {{"--lang", "en", "--version"}, 0, "kelvra-ascii " KELVRA_VERSION, ""},
        {{"--version", "--help"}, 0, "kelvra-ascii " KELVRA_VERSION, ""},
        {{"--version", "--no-such-option"}, 64, "", "unknown option '--no-such-option'"},
        {{"--help=all"}, 64, "", "option --help takes no value"},
        {{"--no-such-option", "--help"}, 64, "", "unknown option '--no-such-option'"},
        {{}, 255, "", "no display"},
    };
    for (const auto &c : cases) {
        const std::string trace = c.args.empty() ? "(no option)" : c.args.front();
        const Outcome run = runTool(c.args);
        EXPECT_EQ(run.status, c.status) << trace << "\n" << run.err;
        if (*c.out) {
            EXPECT_TRUE(contains(run.out, c.out)) << trace << ": " << run.out;
        } else {
            EXPECT_EQ(run.out, "") << trace;
        }
        if (*c.err) {
            EXPECT_TRUE(contains(run.err, c.err)) << trace << ": " << run.err;
        } else {
            EXPECT_EQ(run.err, "") << trace;
        }
    }
}

TEST(PrintingOptions, VersionIsOneLineAndFullOutputFailureIsAnError) {
    EXPECT_EQ(runTool({"--version"}).out, "kelvra-ascii " KELVRA_VERSION "\n");

    const pid_t child = fork();
    if (child == 0) {
        const int full = open("/dev/full", O_WRONLY);
        if (full < 0) _exit(77);
        dup2(full, 1);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 2);
        unsetenv("DISPLAY");
        execl(KELVRA_ASCII, KELVRA_ASCII, "--help", nullptr);
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(WEXITSTATUS(status), 74) << "a help text that could not be written";
}

// Every option of the table shows in --help with a text under a named section, within 80
// columns; an option added without its help line fails here.
TEST(PrintingOptions, HelpDescribesEveryOptionWithinEightyColumns) {
    const Outcome run = runTool({"--help"});
    ASSERT_EQ(run.status, 0);
    std::istringstream lines(run.out);
    const std::regex option("^  (--[a-z-]+)( [^ ]+)? *(.*)$"), continued("^ {24}[^ ].*$");
    std::vector<std::string> names;
    std::string line;
    while (std::getline(lines, line)) {
        EXPECT_LE(line.size(), 79u) << line;
        EXPECT_NE(line, "Other:") << "an option without a section";
        std::smatch match;
        if (!std::regex_match(line, match, option)) continue;
        names.push_back(match[1]);
        // a long option stands on a line of its own, its text on the next
        if (match[3].str().empty() &&
            !(std::getline(lines, line) && std::regex_match(line, continued)))
            ADD_FAILURE() << "no help text for " << names.back();
    }
    for (const char *name : {"--lang", "--list-ports", "--help", "--version"})
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
}

} // namespace
