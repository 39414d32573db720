// The bus scan from the command line: one line per address that answers, a summary on stderr.
#include "ui/command_line.h"
#include "ui/scan.h"

#include "link/rs232.h"

#include <cstdio>

int run_command_line_scan(const CommandLineExchange *request) {
    static BusScan scan;
    static ScanAnswer answer;
    int answering[SCAN_LAST_ADDRESS];
    int answered = 0, scanned = 0, portError = 0, outputFailed = 0;

    apply_request(request);
    const double start = Timer();
    if (bus_scan_begin(&scan, request->text ? request->text : "A0", request->from, request->to,
                       request->timeoutMs) != 0)
        return EXIT_USAGE; // the options allow no such scan
    while (bus_scan_step(&scan, &answer)) {
        scanned++;
        if (answer.portError) { // the next address would meet the same port
            portError = 1;
            break;
        }
        if (!answer.answered) continue;
        answering[answered++] = answer.address;
        std::printf("%d\t%.1f\t", answer.address, answer.rttMs);
        print_entry(stdout, answer.text);
        outputFailed = finish_standard_output() != 0;
        if (outputFailed) break;
    }
    bus_scan_end(&scan);

    std::fprintf(stderr, "kelvra-ascii: scanned %d of the addresses %d..%d in %.1f s: ", scanned,
                 request->from, request->to, Timer() - start);
    if (answered) {
        std::fprintf(stderr, "%d answered (", answered);
        for (int i = 0; i < answered; i++)
            std::fprintf(stderr, "%s%d", i ? ", " : "", answering[i]);
        std::fputc(')', stderr);
    } else {
        std::fputs("none answered", stderr);
    }
    std::fprintf(stderr, "%s\n", portError ? "; stopped by a port error" : "");
    if (outputFailed) return EXIT_OUTPUT_FAILED;
    if (command_line_log_failed()) return EXIT_LOG_FAILED;
    if (portError) return EXIT_PORT_ERROR;
    return answered ? 0 : EXIT_NO_RESPONSE;
}
