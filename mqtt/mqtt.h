// Publishing the exchanges to an MQTT broker, so that one dashboard of the lab shows every
// chamber of every PC. Under PREFIX (default "kelvra/<host name>"), all at QoS 1:
//   PREFIX/<port>/<address>/exchange    each exchange as JSON, not retained
//   PREFIX/<port>/<address>/A<channel>  an A answer's values as JSON, retained
//   PREFIX/status                       "online", retained; the broker's last will "offline"
//   PREFIX/dropped                      after a reconnection: messages that gave way meanwhile
// A thread of ours runs the client (libmosquitto): it resolves, connects, backs off and speaks
// the protocol. An exchange only turns its record into messages and puts them into a bounded
// queue, so a slow, absent or restarting broker never delays one. No Qt here.
#pragma once

#include "record/record.h"

#include <deque>
#include <list>
#include <string>
#include <unordered_map>

enum {
    MQTT_URL_SIZE = 512,
    MQTT_HOST_SIZE = 256,
    MQTT_PREFIX_SIZE = 128, // a prefix with its terminator
    MQTT_TOPIC_SIZE = 192,  // the prefix and "/com20/255/exchange" or "/A<channel>"
    MQTT_PATH_SIZE = 4096,
    MQTT_CREDENTIAL_SIZE = 256, // a user name or password with its terminator
    MQTT_PAYLOAD_SIZE = 16384,  // the longest payload of any record, with its terminator
    MQTT_CAUSE_SIZE = 256,
    MQTT_TEXT_SIZE = 8192,       // a problem in words
    MQTT_QUEUE_MESSAGES = 10000, // messages that wait while the broker is away
    MQTT_QUEUE_BYTES = 16 << 20, // and their topics' and payloads' bytes
    MQTT_PORT = 1883,            // the port of mqtt:// when the URL names none
    MQTT_TLS_PORT = 8883,        // and of mqtts://
    MQTT_KEEPALIVE_SECONDS = 10, // the broker gives the last will after 1.5 times this
    MQTT_RECORD_MESSAGES = 2,    // messages of one record at most
};

// Publishing as --mqtt and its companions or the window's dialog set it.
struct MqttSettings {
    char url[MQTT_URL_SIZE];          // "mqtt://HOST[:PORT]" or "mqtts://HOST[:PORT]"
    char prefix[MQTT_PREFIX_SIZE];    // "" for the default
    char credentials[MQTT_PATH_SIZE]; // a file of one line "user:password"; "" for none
    char caFile[MQTT_PATH_SIZE];      // certificates trusted with mqtts; "" for the system's
};

struct MqttBroker {
    char host[MQTT_HOST_SIZE]; // a name, an IPv4 address or an IPv6 one without brackets
    int port;
    int tls; // mqtts://
};

// What went wrong, for the operator (mqtt_problem_text).
enum {
    MQTT_FINE,
    MQTT_BAD_URL,                // subject: the URL
    MQTT_BAD_PREFIX,             // subject: the prefix
    MQTT_CREDENTIALS_UNREADABLE, // subject: the file; cause: why
    MQTT_CREDENTIALS_EXPOSED,    // subject: the file; cause: its mode, "0644"
    MQTT_CREDENTIALS_MALFORMED,  // subject: the file
    MQTT_CA_UNREADABLE,          // subject: the file; cause: why
    MQTT_CA_WITHOUT_TLS,         // subject: the URL
    MQTT_HOST_NOT_FOUND,         // subject: the host
    MQTT_REFUSED,                // subject: host:port; cause: why
    MQTT_NOT_AUTHORIZED,         // subject: host:port
    MQTT_TLS_FAILED,             // subject: host:port
    MQTT_LOST,                   // subject: host:port
    MQTT_FAILED,                 // subject: host:port; cause: the library's words
};

struct MqttProblem {
    int code;
    char subject[MQTT_PATH_SIZE];
    char cause[MQTT_CAUSE_SIZE];
};

// The problem as one sentence in UTF-8 without an end stop, German when german is nonzero,
// else English.
void mqtt_problem_text(const MqttProblem *problem, int german, char *text, int size);

// Reads an MQTT URL. Returns 0, or -1 with problem (MQTT_BAD_URL).
int mqtt_parse_url(const char *url, MqttBroker *broker, MqttProblem *problem);
// Whether prefix can begin topics: 1 to MQTT_PREFIX_SIZE - 1 bytes of UTF-8 in levels that "/"
// separates, none empty, without the wildcards "+" and "#" and control characters, not beginning
// with the broker's own "$". Returns 0,
// or -1 with problem (MQTT_BAD_PREFIX).
int mqtt_check_prefix(const char *prefix, MqttProblem *problem);
// "kelvra/<host name>", what a topic level may not hold in the name written as "_".
void mqtt_default_prefix(char *prefix, int size);
// Reads user and password (MQTT_CREDENTIAL_SIZE bytes each) from the one line "user:password"
// of a regular file that only its owner may read. Returns 0, or -1 with problem.
int mqtt_read_credentials(const char *path, char *user, char *password, MqttProblem *problem);

// The settings as the client uses them.
struct MqttConnection {
    MqttBroker broker;
    char prefix[MQTT_PREFIX_SIZE];   // the default one when the settings name none
    char user[MQTT_CREDENTIAL_SIZE]; // "" without a credentials file
    char password[MQTT_CREDENTIAL_SIZE];
    char caFile[MQTT_PATH_SIZE]; // "" for the system's certificates
};

// Reads and checks the settings into *connection: the URL, the prefix, the credentials file, and
// the CA file (readable, and only with mqtts://). Returns 0, or -1 with problem.
int mqtt_read_settings(const MqttSettings *settings, MqttConnection *connection,
                       MqttProblem *problem);

// One message to the broker.
struct MqttMessage {
    char topic[MQTT_TOPIC_SIZE];
    char payload[MQTT_PAYLOAD_SIZE];
    int retained;
};

// The messages of one record under prefix: the exchange as JSON, and for a valid answer to an
// A command its channel's values, retained. Returns how many, 1 or 2.
int mqtt_record_messages(const char *prefix, const ExchangeRecord *record,
                         MqttMessage messages[MQTT_RECORD_MESSAGES]);

// Messages that wait for the broker: exchange messages in order of arrival, and the newest value
// of each retained topic. When full (count or bytes), the oldest exchange messages give way first,
// then the oldest retained values. The publisher's thread and the exchanges share one under a
// lock of the publisher's.
struct MqttQueued {
    std::string topic, payload;
    int retained;
    long long order; // of arrival
};

struct MqttQueue {
    int capacity;        // messages
    long long byteLimit; // bytes of topics and payloads
    long long bytes;     // held now
    long long arrivals;  // messages ever pushed
    long long dropped;   // messages that gave way, in all
    std::deque<MqttQueued> passing;
    std::list<MqttQueued> retained;
    std::unordered_map<std::string, std::list<MqttQueued>::iterator> byTopic;
};

// Empties the queue and sets its bounds.
void mqtt_queue_init(MqttQueue *queue, int capacity, long long byteLimit);
// Adds a message; a retained one takes the place of the one waiting for its topic. Returns how
// many messages gave way to it (a message larger than the byte limit itself gives way).
int mqtt_queue_push(MqttQueue *queue, const char *topic, const char *payload, int retained);
// Takes the message that came first into *message. Returns 1, or 0 when the queue is empty.
int mqtt_queue_pop(MqttQueue *queue, MqttQueued *message);
// The messages waiting.
int mqtt_queue_size(const MqttQueue *queue);

// The connection of the run's publishing.
enum {
    MQTT_OFF,
    MQTT_CONNECTING,
    MQTT_CONNECTED,
    MQTT_WAITING, // for the next try after a problem
};

struct MqttStatus {
    int state;
    char broker[MQTT_HOST_SIZE + 16]; // "host:port"
    char prefix[MQTT_PREFIX_SIZE];
    MqttProblem problem; // the latest problem; MQTT_FINE before one and once connected
    int changes;         // grows with every change of state or problem
    long long waiting;   // messages in the queue and handed to the client, not yet confirmed
    long long published; // messages the broker confirmed
    long long dropped;   // messages that gave way, in all
};

// Starts publishing every later exchange record (add_exchange_listener) to the broker of
// settings, in place of any publishing before, which finishes on its own. Checks the settings
// first: returns 0, or -1 with problem and publishing off.
int start_publishing(const MqttSettings *settings, MqttProblem *problem);
// Stops publishing: no further record is taken; the client sends what waits and "offline" within
// drainMs, then disconnects. Waits for that at most waitMs. Returns the number of messages left
// unsent, or -1 when the client had not finished within waitMs (it finishes on its own); 0 when
// publishing was off. Its last status goes to *last unless that is null.
long long stop_publishing(int drainMs, int waitMs, MqttStatus *last);
// The state of publishing. Returns 1 while it is on, else 0 (status->state MQTT_OFF).
int publishing_status(MqttStatus *status);
