// Publishing without a broker: the topics and payloads of records, the queue's bounds and the
// order in which messages give way, and the settings that are refused before any connection.
#include "mqtt/mqtt.h"
#include "tests/support/answer_record.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr long long WALL_MS = 1741944413589; // 2025-03-14T09:26:53.589 UTC
const std::string TIME = R"("time":"2025-03-14T09:26:53.589+00:00")";

TEST(MqttSchema, TopicsAndPayloadsOfRecords) {
    setenv("TZ", "UTC", 1);
    tzset();
    const struct {
        const char *command, *answer;
        int answered, code;
        std::string exchange;          // the exchange's payload after "address":7,
        std::string value, valueTopic; // the retained value's payload and topic; "" for none
    } cases[] = {
        {"A0", "A0 023.5 025.0", 1, RECEIVE_OK,
         R"("command":"A0","outcome":"ok","rtt_ms":12.4,"sent":"A0","received":"A0 023.5 025.0")",
         R"({"actual":23.5,"set":25.0,)" + TIME + "}", "lab/com3/7/A0"},
        // a value that does not stand is null; a channel that may not stand in a topic, none
        {"A1", "A1 -12.5", 1, RECEIVE_OK,
         R"("command":"A1","outcome":"ok","rtt_ms":12.4,"sent":"A1","received":"A1 -12.5")",
         R"({"actual":-12.5,"set":null,)" + TIME + "}", "lab/com3/7/A1"},
        {"A+", "A+ 001.0 002.0", 1, RECEIVE_OK,
         R"("command":"A+","outcome":"ok","rtt_ms":12.4,"sent":"A+","received":"A+ 001.0 002.0")",
         "", ""},
        // control bytes, quotes and backslashes from the line; Latin-1 typed in the window as
        // UTF-8 (the line carries its seven bits)
        {"F\xe4", "F \x1b\"\\\x7f", 1, RECEIVE_OK,
         "\"command\":\"F\xc3\xa4"
         R"(","outcome":"ok","rtt_ms":12.4,"sent":"Fd",)"
         R"("received":"F \\x1b\"\\\\x7f")",
         "", ""},
        {"A0", "A0 023.5 025.0", 0, RECEIVE_BAD_CHECKSUM,
         R"("command":"A0","outcome":"bad-checksum","rtt_ms":null,"sent":"A0","received":null)", "",
         ""},
        {"A0", nullptr, 0, RECEIVE_PORT_ERROR,
         R"("command":"A0","outcome":"port-error","rtt_ms":null,"sent":"A0","received":null)", "",
         ""},
    };
    for (const auto &c : cases) {
        auto record = answer_record(c.command, c.answer ? c.answer : "", WALL_MS, 12.4, c.answered);
        record->port = 3;
        record->address = 7;
        record->sentLength = create_framing(c.command, record->sent, 7);
        if (!c.answer) record->received = ReceiveOutcome{};
        record->received.code = c.code;
        MqttMessage messages[MQTT_RECORD_MESSAGES];
        const int count = mqtt_record_messages("lab", record.get(), messages);
        ASSERT_EQ(count, c.value.empty() ? 1 : 2) << c.command;
        EXPECT_EQ(std::string(messages[0].topic) + " " + std::to_string(messages[0].retained),
                  "lab/com3/7/exchange 0");
        EXPECT_EQ(messages[0].payload,
                  "{" + TIME + R"(,"port":"com3","address":7,)" + c.exchange + "}");
        if (count < 2) continue;
        EXPECT_EQ(std::string(messages[1].topic) + " " + std::to_string(messages[1].retained),
                  c.valueTopic + " 1");
        EXPECT_EQ(messages[1].payload, c.value);
    }
}

TEST(MqttQueue, BoundsAndTheOrderInWhichMessagesGiveWay) {
    struct Push {
        const char *topic, *payload;
        int retained;
    };
    const struct {
        const char *name;
        int capacity;
        long long bytes;
        std::vector<Push> pushes;
        long long dropped;
        std::vector<std::string> popped; // "topic=payload" in the order they leave
    } cases[] = {
        {"arrival order across kinds",
         10,
         1000,
         {{"e", "1", 0}, {"v", "1", 1}, {"e", "2", 0}},
         0,
         {"e=1", "v=1", "e=2"}},
        {"a value takes its older one's place, at its own time",
         10,
         1000,
         {{"v", "1", 1}, {"e", "1", 0}, {"w", "1", 1}, {"v", "2", 1}},
         0,
         {"e=1", "w=1", "v=2"}},
        {"full: the oldest exchange message gives way, not an older value",
         3,
         1000,
         {{"v", "1", 1}, {"e", "1", 0}, {"e", "2", 0}, {"e", "3", 0}},
         1,
         {"v=1", "e=2", "e=3"}},
        {"full of values: the oldest value gives way",
         2,
         1000,
         {{"v", "1", 1}, {"w", "1", 1}, {"e", "1", 0}},
         1,
         {"w=1", "e=1"}},
        {"the byte bound",
         10,
         20,
         {{"e", "123456789", 0}, {"e", "abcdefghi", 0}, {"e", "ABCDEFGHI", 0}},
         1,
         {"e=abcdefghi", "e=ABCDEFGHI"}},
        {"a message larger than the bound", 10, 5, {{"e", "1", 0}, {"e", "12345", 0}}, 1, {"e=1"}},
    };
    for (const auto &c : cases) {
        MqttQueue queue;
        mqtt_queue_init(&queue, c.capacity, c.bytes);
        long long dropped = 0;
        for (const Push &push : c.pushes)
            dropped += mqtt_queue_push(&queue, push.topic, push.payload, push.retained);
        EXPECT_EQ(dropped, c.dropped) << c.name;
        EXPECT_EQ(queue.dropped, c.dropped) << c.name;
        EXPECT_EQ(mqtt_queue_size(&queue), int(c.popped.size())) << c.name;
        std::vector<std::string> popped;
        for (MqttQueued message; mqtt_queue_pop(&queue, &message);)
            popped.push_back(message.topic + "=" + message.payload);
        EXPECT_EQ(popped, c.popped) << c.name;
        EXPECT_EQ(queue.bytes, 0) << c.name;
    }
    // 10,000 messages at most; a day of values in one topic is one message
    MqttQueue queue;
    mqtt_queue_init(&queue, MQTT_QUEUE_MESSAGES, MQTT_QUEUE_BYTES);
    for (int i = 0; i < 3 * MQTT_QUEUE_MESSAGES; i++) {
        mqtt_queue_push(&queue, "e", std::to_string(i).c_str(), 0);
        mqtt_queue_push(&queue, "v", std::to_string(i).c_str(), 1);
    }
    EXPECT_EQ(mqtt_queue_size(&queue), MQTT_QUEUE_MESSAGES);
    MqttQueued first;
    ASSERT_TRUE(mqtt_queue_pop(&queue, &first));
    EXPECT_EQ(first.payload, std::to_string(2 * MQTT_QUEUE_MESSAGES + 1)); // the newest kept
}

TEST(MqttSettings, UrlsPrefixesAndCredentialFiles) {
    const struct {
        const char *url, *host;
        int port, tls;
    } urls[] = {
        {"mqtt://broker", "broker", 1883, 0},
        {"mqtts://broker.lab", "broker.lab", 8883, 1},
        {"mqtt://10.0.0.1:1884", "10.0.0.1", 1884, 0},
        {"mqtt://[::1]:65535", "::1", 65535, 0},
        {"mqtt://", nullptr, 0, 0},
        {"mqtt://h:0", nullptr, 0, 0},
        {"mqtt://h:65536", nullptr, 0, 0},
        {"http://h", nullptr, 0, 0},
        {"mqtt://h/topic", nullptr, 0, 0},
        {"mqtt://[::1", nullptr, 0, 0},
        {"mqtt://h:12a", nullptr, 0, 0},
        {"mqtt://h:", nullptr, 0, 0},
    };
    for (const auto &c : urls) {
        MqttBroker broker{};
        MqttProblem problem{};
        const int result = mqtt_parse_url(c.url, &broker, &problem);
        EXPECT_EQ(result, c.host ? 0 : -1) << c.url;
        if (!c.host) {
            EXPECT_EQ(problem.code, MQTT_BAD_URL) << c.url;
            continue;
        }
        EXPECT_EQ(std::string(broker.host) + ":" + std::to_string(broker.port) + " " +
                      std::to_string(broker.tls),
                  std::string(c.host) + ":" + std::to_string(c.port) + " " + std::to_string(c.tls));
    }
    for (const char *good : {"kelvra/lab-2", "a",
                             "pr\xc3\xbc"
                             "fstand/raum 3"}) {
        MqttProblem problem{};
        EXPECT_EQ(mqtt_check_prefix(good, &problem), 0) << good;
    }
    const std::string tooLong(MQTT_PREFIX_SIZE, 'x');
    for (const char *bad :
         {"", "/a", "a/", "a//b", "a/+/b", "#", "$SYS/a", "a\nb", "a\xe4 b", tooLong.c_str()}) {
        MqttProblem problem{};
        EXPECT_EQ(mqtt_check_prefix(bad, &problem), -1) << bad;
    }

    const std::string path = testing::TempDir() + "kelvra-credentials-" + std::to_string(getpid());
    const struct {
        const char *content;
        mode_t mode;
        int code;
        const char *user, *password;
    } files[] = {
        {"operator:s3cret:x\n", 0600, MQTT_FINE, "operator", "s3cret:x"},
        {"operator:pw\r\n", 0400, MQTT_FINE, "operator", "pw"},
        {"operator:", 0600, MQTT_FINE, "operator", ""},
        {"operator:pw\n", 0644, MQTT_CREDENTIALS_EXPOSED, nullptr, nullptr},
        {"operator:pw\n", 0640, MQTT_CREDENTIALS_EXPOSED, nullptr, nullptr},
        {":pw\n", 0600, MQTT_CREDENTIALS_MALFORMED, nullptr, nullptr},
        {"operator\n", 0600, MQTT_CREDENTIALS_MALFORMED, nullptr, nullptr},
        {"operator:pw\nsecond:line\n", 0600, MQTT_CREDENTIALS_MALFORMED, nullptr, nullptr},
    };
    for (const auto &c : files) {
        (void)std::remove(path.c_str());
        std::ofstream(path) << c.content;
        ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
        char user[MQTT_CREDENTIAL_SIZE] = "", password[MQTT_CREDENTIAL_SIZE] = "";
        MqttProblem problem{};
        EXPECT_EQ(mqtt_read_credentials(path.c_str(), user, password, &problem),
                  c.code == MQTT_FINE ? 0 : -1)
            << c.content;
        EXPECT_EQ(problem.code, c.code) << c.content;
        if (c.user) {
            EXPECT_EQ(std::string(user) + "|" + password, std::string(c.user) + "|" + c.password);
        }
    }
    (void)std::remove(path.c_str());
}

} // namespace
