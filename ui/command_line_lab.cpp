// Polling a lab from the command line: the ports' threads hand each record to the main thread,
// which logs and prints it, in order per chamber, and ends with a summary per chamber.
#include "ui/command_line.h"

#include "display/visible.h"
#include "exchange/lab_polling.h"
#include "record/chamber_status.h"
#include "record/trend_store.h"
#include "ui/exchange_report.h"
#include "ui/lab_file.h"
#include "ui/lab_options.h"
#include "ui/message_line.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>

namespace {

// The records on their way from the ports' threads to the main thread.
struct Handover {
    std::mutex lock;
    std::condition_variable came;
    std::deque<std::unique_ptr<ExchangeRecord>> records;
};

void hand_over(const ExchangeRecord *record, void *context) {
    auto *handover = static_cast<Handover *>(context);
    auto copy = std::make_unique<ExchangeRecord>(*record);
    {
        const std::lock_guard<std::mutex> hold(handover->lock);
        handover->records.push_back(std::move(copy));
    }
    handover->came.notify_one();
}

// The next record, waiting up to 50 ms for one (so that a signal is seen soon); null for none.
std::unique_ptr<ExchangeRecord> take(Handover *handover) {
    std::unique_lock<std::mutex> hold(handover->lock);
    handover->came.wait_for(hold, std::chrono::milliseconds(50),
                            [handover] { return !handover->records.empty(); });
    if (handover->records.empty()) return nullptr;
    std::unique_ptr<ExchangeRecord> record = std::move(handover->records.front());
    handover->records.pop_front();
    return record;
}

// Bytes as a JSON string's content: '"' and '\' escaped, every byte outside printable ASCII
// as \u00XX, so the output is ASCII whatever the line carried.
void put_json_text(const unsigned char *bytes, int count, FILE *out) {
    std::fputc('"', out);
    for (int i = 0; i < count; i++) {
        const unsigned char c = bytes[i];
        if (c == '"' || c == '\\')
            std::fprintf(out, "\\%c", c);
        else if (c < 0x20 || c >= 0x7F)
            std::fprintf(out, "\\u%04x", c);
        else
            std::fputc(c, out);
    }
    std::fputc('"', out);
}

// What came: the payload of a valid answer (between address and checksum, bit 7 cleared), else
// every byte read.
void put_received(const ExchangeRecord *record, FILE *out) {
    char frame[FRAME_BUFFER_SIZE];
    const int length = answer_frame(record, frame);
    if (length < 4) {
        const ReceiveOutcome &r = record->received;
        put_json_text(r.bytes, r.count < RECEIVE_LOG_SIZE ? r.count : RECEIVE_LOG_SIZE, out);
        return;
    }
    unsigned char payload[FRAME_BUFFER_SIZE];
    for (int i = 2; i < length - 2; i++) payload[i - 2] = (unsigned char)frame[i] & 0x7F;
    put_json_text(payload, length - 4, out);
}

void put_number(const char *name, int has, double value, FILE *out) {
    if (has && std::isfinite(value))
        std::fprintf(out, ",\"%s\":%.15g", name, value);
    else
        std::fprintf(out, ",\"%s\":null", name);
}

void print_json(const ExchangeRecord *record) {
    std::printf("{\"time\":\"");
    print_time(stdout, record->wallMs);
    std::printf("\",\"port\":\"com%d\",\"address\":%d,\"command\":", record->port, record->address);
    put_json_text(reinterpret_cast<const unsigned char *>(record->command),
                  (int)std::strlen(record->command), stdout);
    std::printf(",\"outcome\":\"%s\"", receive_code_name(record->received.code));
    if (record->answered && record->rttMs >= 0)
        std::printf(",\"rtt_ms\":%.3f", record->rttMs);
    else
        std::printf(",\"rtt_ms\":null");
    std::printf(",\"received\":");
    put_received(record, stdout);
    ChannelValues values;
    if (record_channel_values(record, &values)) {
        std::printf(",\"channel\":");
        put_json_text(reinterpret_cast<const unsigned char *>(&values.channel), 1, stdout);
        put_number("actual", values.hasActual, values.actual, stdout);
        put_number("set", values.hasSet, values.set, stdout);
    }
    std::printf("}\n");
}

// "[time<TAB>]com1:3<TAB>sent entry<TAB>received entry"; why no valid answer came on stderr.
void print_line(const ExchangeRecord *record, const CommandLineExchange *options) {
    if (options->timestamps) {
        print_time(stdout, record->wallMs);
        std::putchar('\t');
    }
    std::printf("com%d:%d\t", record->port, record->address);
    put_latin1_visible(record->sentText, stdout);
    std::putchar('\t');
    print_entry(stdout, record->receivedText);
    if (record->answered) return;
    std::fprintf(stderr, "kelvra-ascii: com%d:%d: ", record->port, record->address);
    report_exchange(record, 0, stderr);
}

// The lab of the options, with --interval for every chamber when given.
int read_lab(const CommandLineExchange *options, Lab *lab) {
    if (const char *path = lab_file_option()) {
        char error[LAB_ERROR_SIZE];
        const int result = lab_file_read(path, lab, error, sizeof error);
        if (result != 0) {
            print_message_line("kelvra-ascii: --lab", error);
            return result == -2 ? EXIT_NO_INPUT : EXIT_DATA_ERROR;
        }
    } else {
        *lab = *chamber_options();
    }
    if (lab->count == 0) {
        std::fprintf(stderr, "kelvra-ascii: --lab: the file lists no chamber\n");
        return EXIT_DATA_ERROR;
    }
    if (options->interval > 0)
        for (int i = 0; i < lab->count; i++)
            lab->chamber[i].intervalMs = (int)std::lround(options->interval * 1000);
    return 0;
}

// Every chamber's last exchange decides: a port error, a miss, or all valid.
int lab_status(const Lab *lab, const ChamberStatuses *statuses) {
    int status = 0;
    for (int i = 0; i < lab->count; i++) {
        const int found =
            chamber_statuses_find(statuses, lab->chamber[i].port, lab->chamber[i].address);
        const ChamberStatus *s = found >= 0 ? &statuses->chamber[found] : nullptr;
        if (s && s->lastCode == RECEIVE_PORT_ERROR) return EXIT_PORT_ERROR;
        if (!s || !s->lastAnswered) status = EXIT_NO_RESPONSE;
    }
    return status;
}

void print_summaries(const Lab *lab, const ChamberStatuses *statuses) {
    static const ExchangeStats none{};
    for (int i = 0; i < lab->count; i++) {
        const LabChamber &c = lab->chamber[i];
        const int found = chamber_statuses_find(statuses, c.port, c.address);
        char who[LAB_LABEL_SIZE + 4];
        lab_chamber_label(&c, who, sizeof who);
        std::snprintf(who + std::strlen(who), 4, ": ");
        const ExchangeStats *stats = found >= 0 ? statuses->chamber[found].stats : nullptr;
        print_summary(who, stats ? stats : &none);
    }
}

} // namespace

int run_command_line_lab(const CommandLineExchange *options) {
    auto lab = std::make_unique<Lab>();
    if (const int status = read_lab(options, lab.get()); status != 0) return status;
    auto statuses = std::make_unique<ChamberStatuses>();
    chamber_statuses_init(statuses.get());
    Handover handover;
    const LabPollingOptions polling = {options->mode >= 0 ? options->mode : DEFAULT_MODE,
                                       options->repeat > 0 ? options->repeat : 0, hand_over,
                                       &handover};
    catch_stop_signals();
    LabPolling *running = lab_polling_start(lab.get(), &polling);
    bool outputFailed = false, stopping = false;
    while (running) {
        if ((stop_requested() || command_line_log_failed()) && !stopping) {
            lab_polling_stop(running);
            stopping = true;
        }
        const bool ended = lab_polling_ended(running);
        std::unique_ptr<ExchangeRecord> record = take(&handover);
        if (!record) {
            if (ended) break;
            continue;
        }
        publish_exchange(record.get()); // to the log
        chamber_statuses_take(statuses.get(), record.get());
        if (record->received.code == RECEIVE_PORT_ERROR)
            print_message_line("RS-232 Message", record->received.portMessage);
        if (options->json)
            print_json(record.get());
        else
            print_line(record.get(), options);
        if (!outputFailed && finish_standard_output() != 0) {
            outputFailed = true;
            lab_polling_stop(running);
        }
    }
    lab_polling_finish(running);
    release_stop_signals();
    print_summaries(lab.get(), statuses.get());
    const int status = lab_status(lab.get(), statuses.get());
    chamber_statuses_clear(statuses.get());
    if (outputFailed) return EXIT_OUTPUT_FAILED;
    if (command_line_log_failed()) return EXIT_LOG_FAILED;
    return status;
}
