// The bus scan from the command line: one line per address that answers, a summary on stderr.
#include "ui/command_line.h"

#include "exchange/scan.h"
#include "link/rs232.h"

#include <cstdio>

int run_command_line_scan(const CommandLineExchange *options) {
    static BusScan scan;
    static ExchangeRequest request;
    static ExchangeRecord record;
    int answering[SCAN_LAST_ADDRESS];
    int answered = 0, scanned = 0, portError = 0, outputFailed = 0, messages = 0;

    command_line_request(options, options->text ? options->text : "A0", BY_SCAN, &messages,
                         &request);
    const double start = Timer();
    if (bus_scan_begin(&scan, &request, options->from, options->to, options->timeoutMs) != 0)
        return EXIT_USAGE; // the options allow no such scan
    while (bus_scan_step(&scan, &record)) {
        scanned++;
        publish_exchange(&record);  // to the log
        if (port_failed(&record)) { // the next address would meet the same port
            portError = 1;
            break;
        }
        if (!record.answered) continue;
        answering[answered++] = record.address;
        std::printf("%d\t%.1f\t", record.address, record.rttMs);
        print_entry(stdout, record.receivedText);
        outputFailed = finish_standard_output() != 0;
        if (outputFailed) break;
    }
    bus_scan_end(&scan);

    std::fprintf(stderr, "kelvra-ascii: scanned %d of the addresses %d..%d in %.1f s: ", scanned,
                 options->from, options->to, Timer() - start);
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
