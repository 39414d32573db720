// The names of the receive outcomes and the trace of the latest exchange on the line.
#include "link/outcome.h"

#include <cstring>

LinkTrace link_trace;

static const char *const names[RECEIVE_OUTCOMES] = {
    "ok",           "no-answer", "bad-start",  "wrong-address", "no-high-bit",
    "bad-checksum", "too-long",  "incomplete", "too-slow",      "port-error",
};

const char *receive_code_name(int code) {
    return code >= 0 && code < RECEIVE_OUTCOMES ? names[code] : "";
}

int receive_code_of(const char *name) {
    for (int code = 0; code < RECEIVE_OUTCOMES; code++)
        if (name && std::strcmp(name, names[code]) == 0) return code;
    return -1;
}
