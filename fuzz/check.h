// What every fuzz target uses: a check that stops the run on a broken promise, so that libFuzzer
// keeps the input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition);                \
            abort();                                                                               \
        }                                                                                          \
    } while (0)
