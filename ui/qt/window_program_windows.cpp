// Handing over to the window program on Windows, which has no exec: the window runs as a child
// and its exit status becomes this program's.
#include "ui/program.h"

#include <process.h>
#include <stdlib.h>

#include <cstdio>
#include <string>

#ifndef KELVRA_WINDOW_PROGRAM
#error "KELVRA_WINDOW_PROGRAM must be defined by the build"
#endif

// Installed beside this program.
int start_window_program(char *argv[]) {
    char own[_MAX_PATH];
    std::string folder = _fullpath(own, argv[0], sizeof own) ? own : "";
    folder = folder.substr(0, folder.find_last_of("\\/") + 1);
    const std::string path = folder + KELVRA_WINDOW_PROGRAM ".exe";
    const intptr_t status = _spawnv(_P_WAIT, path.c_str(), argv);
    if (status >= 0) return int(status);
    std::fprintf(stderr, "kelvra-ascii: cannot start the window program %s\n", path.c_str());
    return -1;
}
