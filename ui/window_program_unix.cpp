// Handing over to the window program on Unix: it replaces this process, so the window keeps the
// process, its signals and its exit status as if it had been started itself.
#include "ui/program.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#ifndef KELVRA_WINDOW_PROGRAM
#error "KELVRA_WINDOW_PROGRAM and KELVRA_LIBEXEC_FROM_BIN must be defined by the build"
#endif

namespace {

// The folder of the running program, "" if unknown.
std::string own_folder(const char *argv0) {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string own =
        length > 0 ? std::string(path, size_t(length)) : std::string(argv0 ? argv0 : "");
    const size_t slash = own.rfind('/');
    return slash == std::string::npos ? std::string() : own.substr(0, slash);
}

} // namespace

// Beside this program in the build tree, in its libexec folder once installed.
int start_window_program(char *argv[]) {
    const std::string folder = own_folder(argv[0]);
    for (const std::string &path :
         {folder + "/" KELVRA_WINDOW_PROGRAM,
          folder + "/" KELVRA_LIBEXEC_FROM_BIN "/" KELVRA_WINDOW_PROGRAM}) {
        if (folder.empty() || access(path.c_str(), X_OK) != 0) continue;
        execv(path.c_str(), argv);
        std::fprintf(stderr, "kelvra-ascii: cannot start the window program %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return -1;
    }
    std::fprintf(stderr, "kelvra-ascii: the window program %s is not installed beside %s\n",
                 KELVRA_WINDOW_PROGRAM, folder.empty() ? "this program" : folder.c_str());
    return -1;
}
