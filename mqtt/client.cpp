// The run's publishing: a reader of the exchange records that queues their messages, and one
// thread of ours that owns the MQTT client and feeds it from the queue. libmosquitto resolves
// the host on the thread that connects and its own loop thread gives up for good on a failed
// look-up or refused credentials, so this thread does the connecting, the backing off and the
// loop itself; the exchanges never call the library.
#include "mqtt/mqtt.h"

#include "record/calendar.h"

#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

constexpr int IN_FLIGHT = 100;    // messages handed to the client and not yet confirmed
constexpr Ms FIRST_DELAY{250};    // before the first try again; it doubles up to
constexpr Ms LONGEST_DELAY{8000}; // this
constexpr Ms LONGEST_WAIT{1000};  // between two turns of the loop, for its keep-alive
constexpr Ms STOPPING_TURN{50};   // a turn's length once stopping
constexpr Ms CONNECT_TIME{10000}; // for the broker's answer to a connection
constexpr char SYSTEM_CERTIFICATES[] = "/etc/ssl/certs"; // Debian's, in OpenSSL's hashed form

struct Publisher {
    // set before the thread starts, read only afterwards
    MqttConnection to{};
    char statusTopic[MQTT_TOPIC_SIZE] = "";
    char clientId[96] = "";
    int wake[2] = {-1, -1}; // a pipe that ends the thread's wait when messages come
    std::atomic<bool> wakePending{false};
    std::thread thread;
    int listener = 0;
    bool greeting = false; // the thread's: connected, "online" not yet handed over

    std::mutex lock; // guards what follows
    std::condition_variable finishedChanged;
    MqttQueue queue;
    MqttStatus status{};
    int handed = 0;                // handed to the client, not yet confirmed
    long long droppedReported = 0; // told to the broker
    bool stopping = false;
    Clock::time_point deadline;
    bool finished = false;
    long long unsent = 0;

    ~Publisher() {
        for (int fd : wake)
            if (fd >= 0) close(fd);
    }
};

std::shared_ptr<Publisher> current;

void wake_up(Publisher *p) {
    if (p->wakePending.exchange(true)) return;
    const char byte = 0;
    (void)!write(p->wake[1], &byte, 1); // a full pipe wakes the thread as well
}

// Under p->lock.
void set_state(Publisher *p, int state) {
    if (p->status.state == state) return;
    p->status.state = state;
    p->status.changes++;
}

// Under p->lock.
void set_problem(Publisher *p, int code, const char *cause) {
    MqttProblem &problem = p->status.problem;
    const char *subject = code == MQTT_HOST_NOT_FOUND ? p->to.broker.host : p->status.broker;
    if (problem.code == code && std::strcmp(problem.cause, cause) == 0) return;
    problem.code = code;
    std::snprintf(problem.subject, sizeof problem.subject, "%s", subject);
    std::snprintf(problem.cause, sizeof problem.cause, "%s", cause);
    p->status.changes++;
}

// A failed connection or loop as a problem; errno is the library's.
void note_failure(Publisher *p, int rc, int error) {
    const std::lock_guard<std::mutex> guard(p->lock);
    if (rc == MOSQ_ERR_CONN_REFUSED) {
        // on_connect has said why
    } else if (rc == MOSQ_ERR_TIMEOUT) {
        set_problem(p, MQTT_FAILED, std::strerror(ETIMEDOUT));
    } else if (rc == MOSQ_ERR_EAI) {
        set_problem(p, MQTT_HOST_NOT_FOUND, "");
    } else if (rc == MOSQ_ERR_ERRNO && error == ECONNREFUSED) {
        set_problem(p, MQTT_REFUSED, std::strerror(error));
    } else if (rc == MOSQ_ERR_TLS || (rc == MOSQ_ERR_ERRNO && error == EPROTO)) {
        set_problem(p, MQTT_TLS_FAILED, "");
    } else if (p->status.state == MQTT_CONNECTED) {
        set_problem(p, MQTT_LOST, "");
    } else {
        set_problem(p, MQTT_FAILED,
                    rc == MOSQ_ERR_ERRNO ? std::strerror(error) : mosquitto_strerror(rc));
    }
    set_state(p, MQTT_WAITING);
}

// Gives the client one message at QoS 1; the broker's confirmation comes to on_publish.
void hand_over(Publisher *p, mosquitto *client, const char *topic, const char *payload, int length,
               bool retained) {
    const int rc = mosquitto_publish(client, nullptr, topic, length, payload, 1, retained);
    const std::lock_guard<std::mutex> guard(p->lock);
    if (rc == MOSQ_ERR_SUCCESS)
        p->handed++;
    else
        p->status.dropped++; // too large, or the client out of memory
}

void on_connect(mosquitto *, void *context, int rc) {
    auto *p = static_cast<Publisher *>(context);
    const std::lock_guard<std::mutex> guard(p->lock);
    if (rc != 0) {
        set_problem(p, rc == 4 || rc == 5 ? MQTT_NOT_AUTHORIZED : MQTT_FAILED,
                    mosquitto_connack_string(rc));
        set_state(p, MQTT_WAITING);
        return;
    }
    set_state(p, MQTT_CONNECTED);
    p->status.problem.code = MQTT_FINE;
    p->greeting = true;
}

// Once connected, before what waits: "online", and how many messages gave way meanwhile. (Not
// from on_connect, which runs under the client's own locks.)
void greet(Publisher *p, mosquitto *client) {
    long long dropped;
    {
        const std::lock_guard<std::mutex> guard(p->lock);
        p->greeting = false;
        dropped = p->status.dropped - p->droppedReported;
        p->droppedReported = p->status.dropped;
    }
    hand_over(p, client, p->statusTopic, "online", 6, true);
    if (dropped <= 0) return;
    char topic[MQTT_TOPIC_SIZE], time[WALL_CLOCK_TEXT_SIZE], payload[192];
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    wall_clock_text(std::chrono::duration_cast<Ms>(now).count(), WALL_CLOCK_OFFSET, time,
                    sizeof time);
    std::snprintf(topic, sizeof topic, "%s/dropped", p->to.prefix);
    const int length =
        std::snprintf(payload, sizeof payload, "{\"dropped\":%lld,\"total\":%lld,\"time\":\"%s\"}",
                      dropped, p->droppedReported, time);
    hand_over(p, client, topic, payload, length, false);
}

void on_publish(mosquitto *, void *context, int) {
    auto *p = static_cast<Publisher *>(context);
    const std::lock_guard<std::mutex> guard(p->lock);
    p->handed--;
    p->status.published++;
}

// Hands waiting messages to the client while it holds fewer than IN_FLIGHT unconfirmed.
void feed(Publisher *p, mosquitto *client) {
    MqttQueued message;
    for (;;) {
        {
            const std::lock_guard<std::mutex> guard(p->lock);
            if (p->status.state != MQTT_CONNECTED || p->handed >= IN_FLIGHT ||
                !mqtt_queue_pop(&p->queue, &message))
                return;
        }
        hand_over(p, client, message.topic.c_str(), message.payload.data(),
                  int(message.payload.size()), message.retained != 0);
    }
}

mosquitto *new_client(Publisher *p) {
    mosquitto *client = mosquitto_new(p->clientId, true, p);
    if (!client) return nullptr;
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_max_inflight_messages_set(client, IN_FLIGHT);
    mosquitto_will_set(client, p->statusTopic, 7, "offline", 1, true);
    if (p->to.user[0] != '\0') mosquitto_username_pw_set(client, p->to.user, p->to.password);
    if (p->to.broker.tls && p->to.caFile[0] != '\0') {
        mosquitto_tls_set(client, p->to.caFile, nullptr, nullptr, nullptr, nullptr);
    } else if (p->to.broker.tls) {
        // the system's certificates: the library needs a folder named besides
        mosquitto_int_option(client, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        mosquitto_tls_set(client, nullptr, SYSTEM_CERTIFICATES, nullptr, nullptr, nullptr);
    }
    mosquitto_connect_callback_set(client, on_connect);
    mosquitto_publish_callback_set(client, on_publish);
    return client;
}

// Sends DISCONNECT and lets the client write it.
void disconnect(mosquitto *client) {
    mosquitto_disconnect(client);
    for (int turn = 0; turn < 10 && mosquitto_socket(client) >= 0 && mosquitto_want_write(client);
         turn++)
        mosquitto_loop(client, 10, 1);
}

void run(std::shared_ptr<Publisher> p) {
    // a write to a broker that has gone fails with EPIPE instead of ending the program
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
#ifdef SCHED_BATCH
    // woken by an exchange's messages, this thread must not take the processor from that
    // exchange before it has ended: a batch thread never preempts on waking
    const sched_param batch{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &batch);
#endif

    mosquitto *client = new_client(p.get());
    Ms delay = FIRST_DELAY;
    Clock::time_point nextTry = Clock::now(), tried;
    bool said = false; // everything went out, "offline" last: the goodbye may be clean
    for (bool connected = false, first = true; client; first = false) {
        Clock::time_point deadline;
        bool stopping = false, drained = false;
        int state = MQTT_OFF;
        {
            const std::lock_guard<std::mutex> guard(p->lock);
            stopping = p->stopping;
            deadline = p->deadline;
            state = p->status.state;
            drained = mqtt_queue_size(&p->queue) == 0 && p->handed == 0;
            if (state == MQTT_CONNECTED && !connected) delay = FIRST_DELAY;
            connected = state == MQTT_CONNECTED;
        }
        Clock::time_point now = Clock::now();
        said = drained && connected;
        if (stopping && (said || now >= deadline)) break;
        if (state == MQTT_CONNECTING && !first && now - tried > CONNECT_TIME) {
            disconnect(client); // the broker's host never answered
            note_failure(p.get(), MOSQ_ERR_TIMEOUT, 0);
            state = MQTT_WAITING;
        }
        if ((state == MQTT_WAITING || first) && now >= nextTry) {
            {
                const std::lock_guard<std::mutex> guard(p->lock);
                set_state(p.get(), MQTT_CONNECTING);
            }
            tried = now;
            const int rc = mosquitto_connect_async(client, p->to.broker.host, p->to.broker.port,
                                                   MQTT_KEEPALIVE_SECONDS);
            if (rc != MOSQ_ERR_SUCCESS) note_failure(p.get(), rc, errno);
            nextTry = now + delay;
            delay = std::min(delay * 2, LONGEST_DELAY);
        }
        if (p->greeting) greet(p.get(), client);
        feed(p.get(), client);

        Ms wait = LONGEST_WAIT;
        if (state == MQTT_WAITING)
            wait = std::clamp(std::chrono::duration_cast<Ms>(nextTry - now), Ms(0), wait);
        if (stopping) wait = std::min(wait, STOPPING_TURN);
        const int socket = mosquitto_socket(client);
        pollfd fds[2] = {{p->wake[0], POLLIN, 0},
                         {socket, short(POLLIN | (mosquitto_want_write(client) ? POLLOUT : 0)), 0}};
        (void)poll(fds, socket >= 0 ? 2 : 1, int(wait.count()));
        if (fds[0].revents != 0) {
            char bytes[64];
            p->wakePending = false;
            while (read(p->wake[0], bytes, sizeof bytes) > 0) {
            }
        }
        if (socket < 0) continue;
        const int rc = mosquitto_loop(client, 0, 1);
        if (rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN) continue;
        note_failure(p.get(), rc, errno);
        now = Clock::now();
        p->greeting = false;
        if (nextTry < now + delay) nextTry = now + delay;
    }
    if (client) {
        // without DISCONNECT the broker gives the last will, "offline", in place of what is lost
        if (said) disconnect(client);
        mosquitto_destroy(client);
    }
    const std::lock_guard<std::mutex> guard(p->lock);
    if (!client) set_problem(p.get(), MQTT_FAILED, std::strerror(ENOMEM));
    p->unsent = mqtt_queue_size(&p->queue) + p->handed;
    set_state(p.get(), MQTT_OFF);
    p->finished = true;
    p->finishedChanged.notify_all();
}

// Under p->lock.
void snapshot(Publisher *p, MqttStatus *status) {
    *status = p->status;
    status->waiting = mqtt_queue_size(&p->queue) + p->handed;
}

// A reader of the exchange records: their messages into the queue, never waiting for the broker.
void take_record(const ExchangeRecord *record, void *context) {
    auto *p = static_cast<Publisher *>(context);
    static MqttMessage messages[MQTT_RECORD_MESSAGES]; // the records come on one thread
    const int count = mqtt_record_messages(p->to.prefix, record, messages);
    {
        const std::lock_guard<std::mutex> guard(p->lock);
        for (int i = 0; i < count; i++)
            p->status.dropped += mqtt_queue_push(&p->queue, messages[i].topic, messages[i].payload,
                                                 messages[i].retained);
    }
    wake_up(p);
}

} // namespace

int start_publishing(const MqttSettings *settings, MqttProblem *problem) {
    static std::once_flag libraryReady;
    std::call_once(libraryReady, [] { mosquitto_lib_init(); });
    stop_publishing(1000, 0, nullptr);
    problem->code = MQTT_FINE;

    auto p = std::make_shared<Publisher>();
    if (mqtt_read_settings(settings, &p->to, problem) != 0) return -1;
    const bool bracketed = std::strchr(p->to.broker.host, ':') != nullptr;
    std::snprintf(p->status.broker, sizeof p->status.broker, bracketed ? "[%s]:%d" : "%s:%d",
                  p->to.broker.host, p->to.broker.port);
    std::snprintf(p->status.prefix, sizeof p->status.prefix, "%s", p->to.prefix);
    std::snprintf(p->statusTopic, sizeof p->statusTopic, "%s/status", p->to.prefix);
    static int started;
    char host[64] = "";
    (void)gethostname(host, sizeof host - 1);
    std::snprintf(p->clientId, sizeof p->clientId, "kelvra-ascii-%.40s-%d-%d", host, int(getpid()),
                  ++started);
    mqtt_queue_init(&p->queue, MQTT_QUEUE_MESSAGES, MQTT_QUEUE_BYTES);
    if (pipe2(p->wake, O_CLOEXEC | O_NONBLOCK) != 0 ||
        (p->listener = add_exchange_listener(take_record, p.get())) < 0) {
        problem->code = MQTT_FAILED;
        std::snprintf(problem->subject, sizeof problem->subject, "%s", p->status.broker);
        std::snprintf(problem->cause, sizeof problem->cause, "%s", std::strerror(EMFILE));
        return -1;
    }
    p->status.state = MQTT_CONNECTING;
    p->thread = std::thread(run, p);
    current = p;
    return 0;
}

long long stop_publishing(int drainMs, int waitMs, MqttStatus *last) {
    const std::shared_ptr<Publisher> p = std::move(current);
    current.reset();
    if (last) *last = MqttStatus{};
    if (!p) return 0;
    remove_exchange_listener(p->listener);
    std::unique_lock<std::mutex> guard(p->lock);
    p->status.dropped += mqtt_queue_push(&p->queue, p->statusTopic, "offline", 1);
    p->stopping = true;
    p->deadline = Clock::now() + Ms(drainMs);
    guard.unlock();
    wake_up(p.get());
    guard.lock();
    const bool finished =
        p->finishedChanged.wait_for(guard, Ms(waitMs), [&] { return p->finished; });
    if (last) snapshot(p.get(), last);
    guard.unlock();
    if (!finished) {
        p->thread.detach(); // it holds the publisher until it ends
        return -1;
    }
    p->thread.join();
    return p->unsent;
}

int publishing_status(MqttStatus *status) {
    if (!current) {
        *status = MqttStatus{};
        return 0;
    }
    const std::lock_guard<std::mutex> guard(current->lock);
    snapshot(current.get(), status);
    return 1;
}
