// The names of the receive outcomes.
#include "link/outcome.h"
#include "link/link.h"

#include <cstring>

static const char *const names[RECEIVE_OUTCOMES] = {
    "ok",           "no-answer", "bad-start",  "wrong-address", "no-high-bit",
    "bad-checksum", "too-long",  "incomplete", "too-slow",      "port-error",
};

void receive_outcome_clear(ReceiveOutcome *outcome) {
    outcome->code = RECEIVE_NO_ANSWER;
    outcome->decidingIndex = outcome->frameStart = -1;
    outcome->decidingValue = 0;
    outcome->count = outcome->flushed = outcome->portError = 0;
    outcome->awaitedMs = LINK_DELAY_MS;
    outcome->portMessage[0] = '\0';
}

int receive_bytes_kept(const ReceiveOutcome *outcome) {
    return outcome->count < RECEIVE_LOG_SIZE ? outcome->count : RECEIVE_LOG_SIZE;
}

const char *receive_code_name(int code) {
    return code >= 0 && code < RECEIVE_OUTCOMES ? names[code] : "";
}

int receive_code_of(const char *name) {
    for (int code = 0; code < RECEIVE_OUTCOMES; code++)
        if (name && std::strcmp(name, names[code]) == 0) return code;
    return -1;
}
