// Reads a JUnit report back with Python's XML parser (junit_check.py beside this file), for the
// tests of acceptance runs.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#ifndef KELVRA_JUNIT_CHECK
#error "KELVRA_JUNIT_CHECK must name tests/support/junit_check.py"
#endif

// What the check prints of the report (its first line "NAME TESTS FAILURES ERRORS SKIPPED");
// a report of the wrong shape fails the test.
inline std::string junit_check(const std::string &report) {
    FILE *pipe = popen(("python3 '" KELVRA_JUNIT_CHECK "' '" + report + "' 2>&1").c_str(), "r");
    std::string text;
    char block[4096];
    for (size_t got; pipe && (got = fread(block, 1, sizeof block, pipe)) > 0;)
        text.append(block, got);
    EXPECT_EQ(pipe ? pclose(pipe) : -1, 0) << text;
    return text;
}
