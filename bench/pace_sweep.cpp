// How closely kelvra-chamber --pace keeps a real line's timing: a sweep of "A0" over 32
// chambers on a pseudo-terminal and on TCP, with and without pacing. For each run it prints the
// mean time of a sweep (request written to the answer's last byte, summed over 32 chambers)
// beside what the answer bytes alone take at that baud rate (32 x 18 x 11 bits), the median and
// largest time of one answer (18 bytes: 10.3 ms at 19200), and how late each answer byte came
// after its deadline (write + k byte times for byte k), median and largest. Usage:
// pace_sweep_bench [SWEEPS] (default 10); exits 1 when a paced sweep takes over 1.25 times the
// bytes' time or comes in sooner than that time.
#include "tests/support/sim_process.h"

#include "link/link.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Result {
    double sweep_ms;                 // mean over the sweeps
    std::vector<double> lateness_ms; // of every byte
    std::vector<double> answer_ms;   // request written to each answer's last byte
    bool complete = true;
};

// Sends A0 to address and notes when each byte of the answer came, late by how much.
bool answer_times(int fd, int address, double byte_time, Result *result, double *took) {
    double sent = seconds_now();
    send_bytes(fd, frame_of("A0", address));
    int count = 0;
    double last = sent;
    while (count < 18) {
        struct pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0) return false;
        unsigned char buffer[64];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        last = seconds_now();
        for (ssize_t i = 0; i < n; i++, count++)
            result->lateness_ms.push_back((last - sent - (count + 1) * byte_time) * 1000.0);
    }
    *took = last - sent;
    result->answer_ms.push_back(*took * 1000.0);
    return true;
}

Result measure(bool tcp, int baud, int sweeps) {
    std::vector<std::string> args = {"--address", "1-32"};
    if (tcp) args.insert(args.end(), {"--tcp", "0"});
    if (baud) args.insert(args.end(), {"--pace", std::to_string(baud)});
    SimProcess sim(args);
    int fd = sim.started() ? open_port(sim.path()) : -1;
    Result result{0, {}, {}, fd >= 0};
    double byte_time = baud ? 11.0 / baud : 0.0;
    for (int sweep = 0; sweep < sweeps && result.complete; sweep++)
        for (int address = 1; address <= 32 && result.complete; address++) {
            double took = 0;
            result.complete = answer_times(fd, address, byte_time, &result, &took);
            result.sweep_ms += took * 1000.0 / sweeps;
        }
    if (fd >= 0) close(fd);
    return result;
}

double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[(size_t)(share * (double)(values.size() - 1))];
}

} // namespace

int main(int argc, char **argv) {
    int sweeps = argc > 1 ? (int)std::clamp(strtol(argv[1], nullptr, 10), 1L, 10000L) : 10;
    bool missed = false;
    printf("%-4s %-6s %9s %9s %6s %11s %11s %10s %10s\n", "line", "pace", "sweep_ms", "bytes_ms",
           "ratio", "answer_med", "answer_max", "late_med", "late_max");
    for (bool tcp : {false, true})
        for (int baud : {0, 19200, 9600}) {
            Result r = measure(tcp, baud, sweeps);
            double bytes_ms = baud ? 32 * 18 * 11000.0 / baud : 0.0;
            printf("%-4s %-6s %9.1f %9.1f %6.3f %11.3f %11.3f %10.3f %10.3f%s\n",
                   tcp ? "tcp" : "pty", baud ? std::to_string(baud).c_str() : "none", r.sweep_ms,
                   bytes_ms, baud ? r.sweep_ms / bytes_ms : 0.0, percentile(r.answer_ms, 0.5),
                   percentile(r.answer_ms, 1.0), percentile(r.lateness_ms, 0.5),
                   percentile(r.lateness_ms, 1.0), r.complete ? "" : "  (answers missing)");
            missed = missed || !r.complete ||
                     (baud && (r.sweep_ms > 1.25 * bytes_ms || r.sweep_ms < bytes_ms));
        }
    return missed ? 1 : 0;
}
