// The run's report as JUnit XML, which CI servers and test-management tools read:
//
//   <testsuites><testsuite name tests failures errors skipped time timestamp>
//     <testcase name classname time>[<failure message type>expected/received</failure>]
//       <system-out>the step's exchanges</system-out></testcase> ...
//     <system-out>the alarms and the summary</system-out></testsuite></testsuites>
//
// One test case per step done (each pass of a repeat its own) and per step never reached
// (skipped). A failed condition is a failure, a port failure or a stop an error. Cases gather in
// a temporary file as they end; the report is written once the run is over, under a temporary
// name renamed into place, so a reader never sees half of it. No Qt here.
#pragma once

#include "run/runner.h"

#include <cstdio>

enum {
    JUNIT_NAME_SIZE = 256,
    JUNIT_NOTES_SIZE = 32768,
};

struct JunitReport {
    FILE *cases; // the test cases so far
    int tests, failures, errors, skipped;
    char suite[JUNIT_NAME_SIZE];     // the sequence file's name
    char className[JUNIT_NAME_SIZE]; // its name without folder and extension
    char notes[JUNIT_NOTES_SIZE];    // the suite's own output
    int notesLength;
};

// Begins a report for the sequence file at path. Returns 0, or a negative errno.
int junit_begin(JunitReport *report, const char *path);
// Adds the test case of a step's result.
void junit_add(JunitReport *report, const Sequence *sequence, const StepResult *result);
// Adds a line (Latin-1, without its line end) to the suite's output.
void junit_note(JunitReport *report, const char *line);
// Writes the report of the run to path and closes the report. Returns 0, or a negative errno.
int junit_write(JunitReport *report, const Run *run, const char *path);
// Closes the report without writing it; harmless when closed.
void junit_close(JunitReport *report);
