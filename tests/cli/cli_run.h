// Runs kelvra-ascii as a process, as a script would, for the command-line exchange tests.
#pragma once

#include <string>
#include <vector>

struct ToolRun {
    int status = -1; // exit status, -1 if it did not exit normally
    std::string out, err;
    double seconds = 0; // wall time from start to exit
};

// How the runs start besides: variables ("NAME=value") that are added to the environment or
// replace one of it, and where standard output goes.
struct RunSetting {
    std::vector<std::string> environment;
    enum Output { TO_FILE, TO_PIPE_WITHOUT_READER, CLOSED } output = TO_FILE;
};

// Runs kelvra-ascii once per argument list, all side by side, and waits for every one. Their
// environment offers no display: DISPLAY, WAYLAND_DISPLAY and XDG_RUNTIME_DIR are unset and
// QT_QPA_PLATFORM names a platform that needs one, so only the tool's own choice of a headless
// platform lets it run, and Qt's complaints about the missing runtime directory must stay off
// its stderr. Returns the runs in the order of the lists.
std::vector<ToolRun> run_tools(const std::vector<std::vector<std::string>> &argLists,
                               const RunSetting &setting = {});

// A run of kelvra-ascii started by start_tool, not yet waited for.
struct StartedTool {
    int pid = -1;
    std::string outFile, errFile;
    double start = 0; // seconds on the steady clock
};

// Starts kelvra-ascii with args in the environment that run_tools describes.
StartedTool start_tool(const std::vector<std::string> &args);
// What the run has written to standard output so far.
std::string output_so_far(const StartedTool &tool);
// Waits for the run to end and collects it.
ToolRun finish_tool(StartedTool &tool);

// The local time of day in seconds of the "YYYY-MM-DDTHH:MM:SS.mmm+hh:mm<TAB>" that begins a
// line of --timestamps, or -1 if there is none; and the time of day now.
double time_of_day(const std::string &line);
double time_of_day_now();

// The lines of text, each without its '\n'; a last line without '\n' counts too.
std::vector<std::string> lines_of(const std::string &text);
