// The settings of publishing checked before any connection: the broker's URL, the topic prefix,
// the credentials file; and every problem in words.
#include "mqtt/mqtt.h"
#include "record/bounded_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void set_problem(MqttProblem *problem, int code, const char *subject, const char *cause = "") {
    problem->code = code;
    std::snprintf(problem->subject, sizeof problem->subject, "%s", subject);
    std::snprintf(problem->cause, sizeof problem->cause, "%s", cause);
}

// A port number of 1 to 5 digits, 1..65535, else -1.
int port_number(const char *text) {
    int port = 0;
    const char *digit = text;
    for (; *digit >= '0' && *digit <= '9' && digit - text < 5; digit++)
        port = port * 10 + (*digit - '0');
    return digit == text || *digit != '\0' || port < 1 || port > 65535 ? -1 : port;
}

// A host name or address: letters, digits, '-', '.', '_' and, in brackets, ':' of IPv6.
bool host_character(char c, bool bracketed) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || (bracketed && (c == ':' || c == '%'));
}

const struct {
    int code;
    const char *english, *german; // UTF-8; %1 stands for the subject, %2 for the cause
} texts[] = {
    {MQTT_BAD_URL,
     "%1 is no broker URL: write mqtt://HOST[:PORT] or mqtts://HOST[:PORT], the port 1 to "
     "65535",
     "%1 ist keine Broker-Adresse: mqtt://HOST[:PORT] oder mqtts://HOST[:PORT] schreiben, den "
     "Port 1 bis 65535"},
    {MQTT_BAD_PREFIX,
     "%1 is no topic prefix: 1 to 127 bytes in levels separated by /, none empty, without +, # "
     "and control characters, not beginning with $",
     "%1 ist kein Themenpr\xc3\xa4"
     "fix: 1 bis 127 Bytes in Ebenen, durch / getrennt, keine leer, "
     "ohne +, # und Steuerzeichen, nicht mit $ am Anfang"},
    {MQTT_CREDENTIALS_UNREADABLE, "cannot read the credentials file %1: %2",
     "die Zugangsdatei %1 kann nicht gelesen werden: %2"},
    {MQTT_CREDENTIALS_EXPOSED,
     "others may read the credentials file %1 (mode %2): let its owner alone read it "
     "(chmod 600)",
     "andere d\xc3\xbc"
     "rfen die Zugangsdatei %1 lesen (Modus %2): nur ihr Besitzer darf es "
     "(chmod 600)"},
    {MQTT_CREDENTIALS_MALFORMED, "the credentials file %1 must hold one line user:password",
     "die Zugangsdatei %1 muss eine Zeile Benutzer:Passwort enthalten"},
    {MQTT_CA_UNREADABLE, "cannot read the CA file %1: %2",
     "die CA-Datei %1 kann nicht gelesen werden: %2"},
    {MQTT_CA_WITHOUT_TLS, "a CA file needs an mqtts:// URL, not %1",
     "eine CA-Datei braucht eine mqtts://-Adresse, nicht %1"},
    {MQTT_HOST_NOT_FOUND, "cannot find the broker's host %1",
     "der Rechner des Brokers %1 ist nicht zu finden"},
    {MQTT_REFUSED, "no broker answers at %1: %2", "kein Broker antwortet unter %1: %2"},
    {MQTT_NOT_AUTHORIZED, "the broker at %1 refused the user name or password",
     "der Broker unter %1 hat Benutzername oder Passwort abgelehnt"},
    {MQTT_TLS_FAILED,
     "TLS with the broker at %1 failed: its certificate is not trusted or not for that host",
     "TLS mit dem Broker unter %1 ist gescheitert: sein Zertifikat ist nicht vertrauensw\xc3\xbc"
     "rdig oder nicht f\xc3\xbc"
     "r diesen Rechner"},
    {MQTT_LOST, "the connection to the broker at %1 was lost",
     "die Verbindung zum Broker unter %1 ist abgerissen"},
    {MQTT_FAILED, "cannot connect to the broker at %1: %2",
     "keine Verbindung zum Broker unter %1: %2"},
};

} // namespace

void mqtt_problem_text(const MqttProblem *problem, int german, char *text, int size) {
    const char *words = "";
    for (const auto &entry : texts)
        if (entry.code == problem->code) words = german ? entry.german : entry.english;
    BoundedText out = bounded_text(text, size);
    for (const char *c = words; *c != '\0'; c++) {
        const char *part = c[0] == '%' && c[1] == '1' ? problem->subject
                           // cppcheck-suppress knownConditionTrueFalse ; "%2" gets here
                           : c[0] == '%' && c[1] == '2' ? problem->cause
                                                        : nullptr;
        if (!part) {
            text_add(&out, "%c", *c);
            continue;
        }
        text_add(&out, "%s", part);
        c++;
    }
}

int mqtt_parse_url(const char *url, MqttBroker *broker, MqttProblem *problem) {
    const char *rest = nullptr;
    if (std::strncmp(url, "mqtt://", 7) == 0) {
        rest = url + 7;
        broker->tls = 0;
    } else if (std::strncmp(url, "mqtts://", 8) == 0) {
        rest = url + 8;
        broker->tls = 1;
    }
    bool good = rest != nullptr;
    const char *host = rest, *hostEnd = nullptr, *port = nullptr;
    if (good && *rest == '[') { // [::1]:1883
        host = rest + 1;
        hostEnd = std::strchr(host, ']');
        good = hostEnd != nullptr && (hostEnd[1] == '\0' || hostEnd[1] == ':');
        if (good && hostEnd[1] == ':') port = hostEnd + 2;
    } else if (good) {
        hostEnd = std::strchr(host, ':');
        if (hostEnd)
            port = hostEnd + 1;
        else
            hostEnd = host + std::strlen(host);
    }
    good = good && hostEnd > host && hostEnd - host < MQTT_HOST_SIZE;
    for (const char *c = host; good && c < hostEnd; c++) good = host_character(*c, *rest == '[');
    broker->port = port ? port_number(port) : broker->tls ? MQTT_TLS_PORT : MQTT_PORT;
    if (!good || broker->port < 0) {
        set_problem(problem, MQTT_BAD_URL, url);
        return -1;
    }
    std::memcpy(broker->host, host, size_t(hostEnd - host)); // shorter than MQTT_HOST_SIZE
    broker->host[hostEnd - host] = '\0';
    return 0;
}

int mqtt_check_prefix(const char *prefix, MqttProblem *problem) {
    const size_t length = std::strlen(prefix);
    bool good = length > 0 && length < MQTT_PREFIX_SIZE && prefix[0] != '/' && prefix[0] != '$' &&
                prefix[length - 1] != '/' && !std::strstr(prefix, "//");
    for (const auto *c = reinterpret_cast<const unsigned char *>(prefix); good && *c; c++) {
        good = *c >= 0x20 && *c != 0x7F && *c != '+' && *c != '#';
        if (!good || *c < 0x80) continue;
        // a UTF-8 sequence: its lead byte and the continuation bytes it announces
        const int more = (*c & 0xE0) == 0xC0   ? 1
                         : (*c & 0xF0) == 0xE0 ? 2
                         : (*c & 0xF8) == 0xF0 ? 3
                                               : -1;
        good = more > 0;
        for (int i = 0; good && i < more; i++) good = (*++c & 0xC0) == 0x80;
    }
    if (good) return 0;
    set_problem(problem, MQTT_BAD_PREFIX, prefix);
    return -1;
}

void mqtt_default_prefix(char *prefix, int size) {
    char host[MQTT_HOST_SIZE] = "";
    if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0')
        std::snprintf(host, sizeof host, "localhost");
    for (char *c = host; *c != '\0'; c++)
        if (!host_character(*c, false)) *c = '_';
    std::snprintf(prefix, size_t(size), "kelvra/%.100s", host);
}

int mqtt_read_credentials(const char *path, char *user, char *password, MqttProblem *problem) {
    // not blocking: a FIFO in the file's place must not hold the start
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0) {
        set_problem(problem, MQTT_CREDENTIALS_UNREADABLE, path, std::strerror(errno));
        if (fd >= 0) close(fd);
        return -1;
    }
    char line[2 * MQTT_CREDENTIAL_SIZE + 2] = "";
    ssize_t length = -1;
    if (S_ISREG(info.st_mode) && (info.st_mode & (S_IRGRP | S_IROTH)) == 0)
        length = read(fd, line, sizeof line - 1);
    const int cause = errno;
    close(fd);
    if (!S_ISREG(info.st_mode)) {
        set_problem(problem, MQTT_CREDENTIALS_UNREADABLE, path, "not a regular file");
        return -1;
    }
    if ((info.st_mode & (S_IRGRP | S_IROTH)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", unsigned(info.st_mode & 07777));
        set_problem(problem, MQTT_CREDENTIALS_EXPOSED, path, mode);
        return -1;
    }
    if (length < 0) {
        set_problem(problem, MQTT_CREDENTIALS_UNREADABLE, path, std::strerror(cause));
        return -1;
    }
    line[length] = '\0';
    // one line; its line break, and nothing after it, may end the file
    size_t end = std::strcspn(line, "\r\n");
    const bool oneLine = line[end + std::strspn(line + end, "\r\n")] == '\0';
    line[end] = '\0';
    const char *colon = std::strchr(line, ':');
    if (!oneLine || !colon || colon == line || colon - line >= MQTT_CREDENTIAL_SIZE ||
        std::strlen(colon + 1) >= MQTT_CREDENTIAL_SIZE || size_t(length) >= sizeof line - 1) {
        set_problem(problem, MQTT_CREDENTIALS_MALFORMED, path);
        return -1;
    }
    std::memcpy(user, line, size_t(colon - line)); // both shorter than MQTT_CREDENTIAL_SIZE
    user[colon - line] = '\0';
    std::snprintf(password, MQTT_CREDENTIAL_SIZE, "%s", colon + 1);
    return 0;
}

int mqtt_read_settings(const MqttSettings *settings, MqttConnection *connection,
                       MqttProblem *problem) {
    *connection = MqttConnection{};
    if (mqtt_parse_url(settings->url, &connection->broker, problem) != 0) return -1;
    if (settings->prefix[0] == '\0')
        mqtt_default_prefix(connection->prefix, sizeof connection->prefix);
    else if (mqtt_check_prefix(settings->prefix, problem) == 0)
        std::snprintf(connection->prefix, sizeof connection->prefix, "%s", settings->prefix);
    else
        return -1;
    if (settings->credentials[0] != '\0' &&
        mqtt_read_credentials(settings->credentials, connection->user, connection->password,
                              problem) != 0)
        return -1;
    if (settings->caFile[0] == '\0') return 0;
    if (!connection->broker.tls) {
        set_problem(problem, MQTT_CA_WITHOUT_TLS, settings->url);
        return -1;
    }
    const int fd = open(settings->caFile, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        set_problem(problem, MQTT_CA_UNREADABLE, settings->caFile, std::strerror(errno));
        return -1;
    }
    close(fd);
    std::snprintf(connection->caFile, sizeof connection->caFile, "%s", settings->caFile);
    return 0;
}
