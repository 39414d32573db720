// The topics and JSON payloads of a record: a stable schema that dashboards build on.
#include "mqtt/mqtt.h"

#include "display/visible.h"
#include "record/bounded_text.h"
#include "record/calendar.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// A payload is written into its bounded buffer; once full it takes nothing more.
using Json = BoundedText;

void put(Json *json, const char *part) {
    text_add(json, "%s", part);
}

// A Latin-1 text as a JSON string, its control characters written "\xhh" as on the command line.
void put_string(Json *json, const char *latin1) {
    put(json, "\"");
    char visible[5];
    for (const auto *c = reinterpret_cast<const unsigned char *>(latin1); *c != '\0'; c++) {
        latin1_visible_char(*c, visible);
        for (const char *v = visible; *v != '\0'; v++) {
            if (*v == '"' || *v == '\\') put(json, "\\");
            const char one[] = {*v, '\0'};
            put(json, one);
        }
    }
    put(json, "\"");
}

// The shortest text that reads back as the number, with a decimal point: 25.0, 23.56.
void put_number(Json *json, double value) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text - 3, value).ptr;
    *end = '\0';
    // NOLINTNEXTLINE(clang-analyzer-security.insecureAPI.strcpy): the number left room for it
    if (!std::strpbrk(text, ".e")) std::strcat(text, ".0");
    put(json, text);
}

void put_time(Json *json, long long wallMs) {
    char time[WALL_CLOCK_TEXT_SIZE];
    wall_clock_text(wallMs, WALL_CLOCK_OFFSET, time, sizeof time);
    put(json, "\"time\":\"");
    put(json, time);
    put(json, "\"");
}

// The display text of a frame in mode 1, the payload without framing.
void put_payload(Json *json, const char *frame, bool received) {
    char copy[FRAME_BUFFER_SIZE];
    char text[DISPLAY_BUFFER_SIZE];
    std::snprintf(copy, sizeof copy, "%s", frame);
    if (received)
        format_receivebuffer(copy, text, MODE_NO_FRAMING);
    else
        format_sendbuffer(copy, text, MODE_NO_FRAMING);
    put_string(json, text);
}

// Every field as long as the frames allow: each Latin-1 byte takes at most five (a control
// character "\\x1b").
static_assert(3 * 5 * FRAME_BUFFER_SIZE + 512 < MQTT_PAYLOAD_SIZE);

void exchange_payload(const ExchangeRecord *record, const char *answer, char *payload) {
    Json json = bounded_text(payload, MQTT_PAYLOAD_SIZE);
    char number[64];
    payload[0] = '\0';
    put(&json, "{");
    put_time(&json, record->wallMs);
    std::snprintf(number, sizeof number,
                  ",\"port\":\"com%d\",\"address\":%d,\"command\":", record->port, record->address);
    put(&json, number);
    put_string(&json, record->command);
    put(&json, ",\"outcome\":\"");
    put(&json, receive_code_name(record->received.code));
    put(&json, "\",\"rtt_ms\":");
    if (record->answered && record->rttMs >= 0) {
        const long long tenths = std::llround(std::fmin(record->rttMs, 1e12) * 10);
        std::snprintf(number, sizeof number, "%lld.%lld", tenths / 10, tenths % 10);
        put(&json, number);
    } else {
        put(&json, "null");
    }
    put(&json, ",\"sent\":");
    if (record->sentLength > 0)
        put_payload(&json, record->sent, false);
    else
        put(&json, "null");
    put(&json, ",\"received\":");
    if (answer)
        put_payload(&json, answer, true);
    else
        put(&json, "null");
    put(&json, "}");
}

// A channel character that may stand in a topic level.
bool topic_character(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

} // namespace

void mqtt_alarm_message(const char *prefix, int port, int address, int raised, const char *alarm,
                        const char *detail, long long wallMs, MqttMessage *message) {
    std::snprintf(message->topic, sizeof message->topic, "%s/com%d/%d/alarm", prefix, port,
                  address);
    Json json = bounded_text(message->payload, MQTT_PAYLOAD_SIZE);
    message->payload[0] = '\0';
    put(&json, "{");
    put_time(&json, wallMs);
    put(&json, raised ? ",\"state\":\"raised\",\"alarm\":" : ",\"state\":\"cleared\",\"alarm\":");
    put_string(&json, alarm);
    put(&json, ",\"detail\":");
    put_string(&json, detail);
    put(&json, "}");
    message->retained = 0;
}

int mqtt_record_messages(const char *prefix, const ExchangeRecord *record,
                         MqttMessage messages[MQTT_RECORD_MESSAGES]) {
    char answer[FRAME_BUFFER_SIZE];
    const bool answered = answer_frame(record, answer) > 0;
    std::snprintf(messages[0].topic, sizeof messages[0].topic, "%s/com%d/%d/exchange", prefix,
                  record->port, record->address);
    exchange_payload(record, answered ? answer : nullptr, messages[0].payload);
    messages[0].retained = 0;

    ChannelValues values;
    if (!answered || record->command[0] != 'A' || !read_channel_values(answer, &values) ||
        !topic_character(values.channel))
        return 1;
    MqttMessage &value = messages[1];
    std::snprintf(value.topic, sizeof value.topic, "%s/com%d/%d/A%c", prefix, record->port,
                  record->address, values.channel);
    Json json = bounded_text(value.payload, MQTT_PAYLOAD_SIZE);
    value.payload[0] = '\0';
    put(&json, "{\"actual\":");
    if (values.hasActual)
        put_number(&json, values.actual);
    else
        put(&json, "null");
    put(&json, ",\"set\":");
    if (values.hasSet)
        put_number(&json, values.set);
    else
        put(&json, "null");
    put(&json, ",");
    put_time(&json, record->wallMs);
    put(&json, "}");
    value.retained = 1;
    return 2;
}
