// The command line's publishing: the settings of --mqtt checked before the first exchange, a
// reader of the records that tells a new connection problem (or its end) after the exchange in
// which it showed, and the end of the run, which lets the queue drain.
#include "ui/publishing.h"

#include "display/visible.h"
#include "mqtt/mqtt.h"
#include "record/record.h"
#include "run/alarm.h"
#include "ui/options.h"

#include <cstdio>

namespace {

constexpr int DRAIN_MS = 2000;
constexpr int WAIT_MS = 3000; // the drain and the farewell to the broker

int listener;
MqttProblem told; // the problem said last; MQTT_FINE when none or it has passed
long long droppedTold;

// One line on stderr; the text holds paths and host names as given, so their control characters
// are written as escapes.
void say(const char *text, const char *after) {
    std::fputs("kelvra-ascii: MQTT: ", stderr);
    put_bytes_visible(text, stderr);
    std::fprintf(stderr, "%s\n", after);
}

// Says what has changed since it was last said: a new problem (unless the run is ending), or the
// connection back after one.
void tell(const MqttStatus *status, bool ending) {
    char text[MQTT_TEXT_SIZE];
    if (status->problem.code == MQTT_FINE && told.code != MQTT_FINE) {
        told.code = MQTT_FINE;
        std::snprintf(text, sizeof text, "connected to %s again", status->broker);
        char dropped[96] = "";
        if (status->dropped > droppedTold)
            std::snprintf(dropped, sizeof dropped, "; %lld messages gave way meanwhile",
                          status->dropped - droppedTold);
        droppedTold = status->dropped;
        say(text, dropped);
    } else if (status->problem.code != MQTT_FINE && status->problem.code != told.code && !ending) {
        told = status->problem;
        mqtt_problem_text(&told, 0, text, sizeof text);
        say(text, "; trying again");
    }
}

// The alarms the record raised or cleared, judged by the program's one watch as the log and the
// status line see them.
int alarm_messages(const char *prefix, const ExchangeRecord *record, MqttMessage *messages,
                   int max) {
    AlarmWatch *watch = program_alarms();
    const int events = alarm_watch_hear(watch, record);
    int count = 0;
    for (int i = 0; i < events && count < max; i++, count++) {
        const AlarmEvent &e = watch->events[i];
        mqtt_alarm_message(prefix, e.port, e.address, e.kind == ALARM_RAISED,
                           watch->rules[e.rule].condition.text, e.detail, e.ms, &messages[count]);
    }
    return count;
}

void tell_changes(const ExchangeRecord *, void *) {
    MqttStatus status;
    if (publishing_status(&status)) tell(&status, false);
}

} // namespace

void publish_alarms(void) {
    set_publishing_extras(alarm_messages);
}

int start_command_line_publishing(void) {
    const MqttSettings *settings = mqtt_option();
    if (!settings) return 0;
    publish_alarms();
    MqttProblem problem;
    if (start_publishing(settings, &problem) != 0) {
        char text[MQTT_TEXT_SIZE];
        mqtt_problem_text(&problem, 0, text, sizeof text);
        say(text, "");
        return problem.code == MQTT_CA_WITHOUT_TLS ? int(EXIT_USAGE) : int(EXIT_MQTT_SETTINGS);
    }
    told.code = MQTT_FINE;
    droppedTold = 0;
    listener = add_exchange_listener(tell_changes, nullptr);
    return 0;
}

int finish_command_line_publishing(int status) {
    if (!mqtt_option()) return status;
    remove_exchange_listener(listener);
    MqttStatus last;
    long long unsent = stop_publishing(DRAIN_MS, WAIT_MS, &last);
    if (unsent < 0) unsent = last.waiting;
    tell(&last, true);
    if (unsent == 0) return status;
    char text[MQTT_TEXT_SIZE];
    int length = std::snprintf(text, sizeof text, "%lld message%s left unsent", unsent,
                               unsent == 1 ? "" : "s");
    if (last.problem.code != MQTT_FINE) {
        length += std::snprintf(text + length, sizeof text - size_t(length), ": ");
        mqtt_problem_text(&last.problem, 0, text + length, int(sizeof text) - length);
    }
    say(text, "");
    return status;
}
