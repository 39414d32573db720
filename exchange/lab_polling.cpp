// One worker thread per port of the lab, each running its port's schedule.
#include "exchange/lab_polling.h"

#include "exchange/exchange.h"
#include "exchange/poll.h"
#include "link/link.h"
#include "link/rs232.h"
#include "link/threads.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

struct LabPolling {
    LabPollingOptions options;
    int ports;
    PortPoll poll[RS232_MAX_PORTS];
    std::mutex lock;
    std::condition_variable wake;
    bool stopping = false;
    std::atomic<int> running{0};
    WorkerThreads *threads = nullptr;
};

namespace {

using Clock = std::chrono::steady_clock;

double now_ms(void *) {
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

int wait_until(double ms, void *context) {
    auto *polling = static_cast<LabPolling *>(context);
    std::unique_lock<std::mutex> hold(polling->lock);
    const Clock::time_point deadline{
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(ms))};
    polling->wake.wait_until(hold, deadline, [polling] { return polling->stopping; });
    return !polling->stopping;
}

// An exchange as the window's timer makes it: the answer taken as it comes, with the timer's
// acceptance; a port failure is in the record, for whoever shows it.
int run_exchange(const LabChamber *chamber, int command, void *context) {
    auto *polling = static_cast<LabPolling *>(context);
    auto request = std::make_unique<ExchangeRequest>();
    auto record = std::make_unique<ExchangeRecord>();
    request_init(request.get(), chamber->port, chamber->address, chamber->command[command],
                 polling->options.mode);
    request->trigger = BY_POLL;
    request->readAtOnce = 1;
    request->waitSeconds = 0;
    request->quietSeconds = POLL_QUIET_MS / 1000; // a sweep's own, short quiet (exchange/poll.h)
    if (exchange(request.get(), record.get()) < 0) return 0;
    if (polling->options.deliver) polling->options.deliver(record.get(), polling->options.context);
    return record->answered;
}

// The exchanges that follow one another hold the port as one series: its device stays open.
void hold_port(int port, int holding, void *) {
    if (holding)
        port_series_begin(port);
    else
        port_series_end(port);
}

void run_port(int index, void *context) {
    auto *polling = static_cast<LabPolling *>(context);
    const PollHooks hooks = {now_ms, wait_until, run_exchange, hold_port, polling};
    port_poll_run(&polling->poll[index], &hooks);
    polling->running--;
}

} // namespace

LabPolling *lab_polling_start(const Lab *lab, const LabPollingOptions *options) {
    auto polling = std::make_unique<LabPolling>();
    polling->options = *options;
    polling->ports = 0;
    int slot[RS232_MAX_PORTS + 1];
    for (int &s : slot) s = -1;
    const auto start = (long long)now_ms(nullptr);
    for (int i = 0; i < lab->count; i++) {
        const LabChamber &chamber = lab->chamber[i];
        if (chamber.port < 1 || chamber.port > RS232_MAX_PORTS) continue;
        if (slot[chamber.port] < 0) {
            slot[chamber.port] = polling->ports++;
            port_poll_begin(&polling->poll[slot[chamber.port]], start);
            polling->poll[slot[chamber.port]].turnLimit = options->turnLimit;
        }
        port_poll_add(&polling->poll[slot[chamber.port]], &chamber);
    }
    if (polling->ports == 0) return nullptr;
    polling->running = polling->ports;
    polling->threads = start_worker_threads(polling->ports, run_port, polling.get());
    if (!polling->threads) return nullptr;
    return polling.release();
}

void lab_polling_stop(LabPolling *polling) {
    if (!polling) return;
    {
        const std::lock_guard<std::mutex> hold(polling->lock);
        polling->stopping = true;
    }
    polling->wake.notify_all();
}

int lab_polling_ended(const LabPolling *polling) {
    return !polling || polling->running.load() == 0;
}

void lab_polling_finish(LabPolling *polling) {
    if (!polling) return;
    lab_polling_stop(polling);
    join_worker_threads(polling->threads);
    delete polling;
}
