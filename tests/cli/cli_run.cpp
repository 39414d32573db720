// Starting kelvra-ascii side by side, with its output in files.
#include "tests/cli/cli_run.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <regex>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string temp_file(const char *what) {
    char name[64];
    std::snprintf(name, sizeof name, "/tmp/kelvra-cli-%s-XXXXXX", what);
    const int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    return name;
}

std::string read_file(const std::string &name) {
    std::string text;
    if (FILE *file = std::fopen(name.c_str(), "rb")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            text.append(buffer, n);
        (void)std::fclose(file);
    }
    return text;
}

std::string take_file(const std::string &name) {
    std::string text = read_file(name);
    (void)std::remove(name.c_str());
    return text;
}

double now() {
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

// The test's environment without a display, as run_tools describes it, with the setting's
// variables.
std::vector<std::string> headless_environment(const std::vector<std::string> &extra) {
    std::vector<std::string> variables;
    for (char **variable = environ; *variable; variable++) {
        const std::string entry = *variable;
        const std::string name = entry.substr(0, entry.find('='));
        if (name == "LSAN_OPTIONS") // a sanitizer build lists the suppressions it used on stderr
            variables.push_back(entry + ":print_suppressions=0");
        else if (name != "DISPLAY" && name != "WAYLAND_DISPLAY" && name != "XDG_RUNTIME_DIR" &&
                 name != "QT_QPA_PLATFORM")
            variables.push_back(entry);
    }
    variables.push_back("QT_QPA_PLATFORM=xcb");
    for (const std::string &variable : extra) {
        const std::string name = variable.substr(0, variable.find('=') + 1);
        std::erase_if(variables, [&](const std::string &v) { return v.rfind(name, 0) == 0; });
        variables.push_back(variable);
    }
    return variables;
}

StartedTool start(const std::vector<std::string> &args, const std::vector<std::string> &environment,
                  RunSetting::Output output) {
    StartedTool started{-1, temp_file("out"), temp_file("err"), now()};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    int pipeEnds[2] = {-1, -1};
    if (output == RunSetting::TO_PIPE_WITHOUT_READER && pipe2(pipeEnds, O_CLOEXEC) == 0) {
        close(pipeEnds[0]); // no one will ever read
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    } else if (output == RunSetting::CLOSED) {
        posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, started.outFile.c_str(),
                                         O_WRONLY | O_TRUNC, 0);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, started.errFile.c_str(),
                                     O_WRONLY | O_TRUNC, 0);
    std::vector<char *> argv{const_cast<char *>(KELVRA_ASCII)};
    for (const std::string &arg : args) argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char *> envp;
    for (const std::string &variable : environment)
        envp.push_back(const_cast<char *>(variable.c_str()));
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, KELVRA_ASCII, &actions, nullptr, argv.data(), envp.data()) == 0)
        started.pid = pid;
    posix_spawn_file_actions_destroy(&actions);
    if (pipeEnds[1] >= 0) close(pipeEnds[1]);
    return started;
}

} // namespace

std::vector<ToolRun> run_tools(const std::vector<std::vector<std::string>> &argLists,
                               const RunSetting &setting) {
    const std::vector<std::string> environment = headless_environment(setting.environment);
    std::vector<StartedTool> started;
    for (const auto &args : argLists) started.push_back(start(args, environment, setting.output));

    std::vector<ToolRun> runs(started.size());
    size_t left = started.size();
    std::vector<bool> done(started.size());
    while (left > 0) {
        for (size_t i = 0; i < started.size(); i++) {
            if (done[i]) continue;
            int status = 0;
            if (started[i].pid > 0 && waitpid(started[i].pid, &status, WNOHANG) == 0) continue;
            runs[i].seconds = now() - started[i].start;
            if (started[i].pid > 0 && WIFEXITED(status)) runs[i].status = WEXITSTATUS(status);
            done[i] = true;
            left--;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    for (size_t i = 0; i < started.size(); i++) {
        runs[i].out = take_file(started[i].outFile);
        runs[i].err = take_file(started[i].errFile);
    }
    return runs;
}

StartedTool start_tool(const std::vector<std::string> &args) {
    return start(args, headless_environment({}), RunSetting::TO_FILE);
}

std::string output_so_far(const StartedTool &tool) {
    return read_file(tool.outFile);
}

ToolRun finish_tool(StartedTool &tool) {
    ToolRun run;
    int status = 0;
    if (tool.pid > 0 && waitpid(tool.pid, &status, 0) == tool.pid && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.seconds = now() - tool.start;
    run.out = take_file(tool.outFile);
    run.err = take_file(tool.errFile);
    tool.pid = -1;
    return run;
}

double time_of_day(const std::string &line) {
    std::smatch match;
    const std::regex stamp(R"(^\d{4}-\d\d-\d\dT(\d\d):(\d\d):(\d\d\.\d{3})[+-]\d\d:\d\d\t)");
    if (!std::regex_search(line, match, stamp)) return -1;
    return std::stod(match[1]) * 3600 + std::stod(match[2]) * 60 + std::stod(match[3]);
}

double time_of_day_now() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec + double(ms % 1000) / 1000;
}

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return lines;
}
