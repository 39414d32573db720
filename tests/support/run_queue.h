// How long the calling thread has waited for a processor, for measurements on a busy machine:
// that part of a gap in an event loop is the machine's, not the program's.
#pragma once

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

// Milliseconds this thread has spent ready to run but waiting for a processor; -1 if unknown.
inline double runQueueMs() {
    static const int file = open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
    char text[128];
    const ssize_t length = file < 0 ? -1 : pread(file, text, sizeof text - 1, 0);
    if (length <= 0) return -1;
    text[length] = '\0';
    unsigned long long running = 0, waiting = 0;
    if (std::sscanf(text, "%llu %llu", &running, &waiting) != 2) return -1;
    return double(waiting) / 1e6;
}
