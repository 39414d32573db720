// Handing over to the window program on Windows, which has no exec: the window runs as a child
// and its exit status becomes this program's.
#include "ui/program.h"

#include <process.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#ifndef KELVRA_WINDOW_PROGRAM
#error "KELVRA_WINDOW_PROGRAM must be defined by the build"
#endif

namespace {

// An argument as the child's command line must carry it: _spawnv joins the arguments with
// blanks, so one with a blank or quote goes in quotes, its backslashes before a quote doubled.
std::string quoted(const char *argument) {
    const std::string plain = argument;
    if (!plain.empty() && plain.find_first_of(" \t\"") == std::string::npos) return plain;
    std::string out = "\"";
    size_t backslashes = 0;
    for (const char c : plain) {
        if (c == '\\') {
            backslashes++;
            continue;
        }
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        out += c;
        backslashes = 0;
    }
    return out.append(2 * backslashes, '\\') + "\"";
}

} // namespace

// Installed beside this program.
int start_window_program(char *argv[]) {
    char own[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, own, MAX_PATH);
    std::string folder(own, length < MAX_PATH ? length : 0);
    folder.resize(folder.find_last_of("\\/") + 1); // the folder with its separator, or ""
    const std::string path = folder + KELVRA_WINDOW_PROGRAM ".exe";
    std::vector<std::string> arguments;
    for (char **argument = argv; *argument; argument++) arguments.push_back(quoted(*argument));
    std::vector<const char *> pointers;
    for (const std::string &argument : arguments) pointers.push_back(argument.c_str());
    pointers.push_back(nullptr);
    const intptr_t status = _spawnv(_P_WAIT, path.c_str(), pointers.data());
    if (status >= 0) return int(status);
    std::fprintf(stderr, "kelvra-ascii: cannot start the window program %s\n", path.c_str());
    return -1;
}
