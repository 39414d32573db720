// The JUnit XML report of a run.
#include "run/junit.h"

#include "display/visible.h"
#include "record/calendar.h"
#include "record/log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Latin-1 text as UTF-8 XML character data (or an attribute's value): markup characters as
// entities, and the control characters that XML 1.0 refuses as "\xhh".
void put_xml(FILE *out, const char *text) {
    for (const auto *c = reinterpret_cast<const unsigned char *>(text); *c != '\0'; c++) {
        switch (*c) {
        case '&': std::fputs("&amp;", out); break;
        case '<': std::fputs("&lt;", out); break;
        case '>': std::fputs("&gt;", out); break;
        case '"': std::fputs("&quot;", out); break;
        case '\n':
        case '\t': std::fputc(*c, out); break;
        default: {
            char visible[5]; // as the terminal gets it: UTF-8, control characters as "\xhh"
            latin1_visible_char(*c, visible);
            std::fputs(visible, out);
        }
        }
    }
}

double seconds_between(long long fromMs, long long toMs) {
    return toMs > fromMs ? double(toMs - fromMs) / 1000 : 0.0;
}

// The name of a file without its folder and its last extension.
void stem_of(const char *path, char *stem, int size) {
    const char *slash = std::strrchr(path, '/');
    const char *name = slash ? slash + 1 : path;
    const char *dot = std::strrchr(name, '.');
    const int length = dot && dot != name ? int(dot - name) : int(std::strlen(name));
    set_text(stem, size, "%.*s", length, name);
}

} // namespace

int junit_begin(JunitReport *report, const char *path) {
    *report = {};
    report->cases = std::tmpfile();
    if (!report->cases) return -errno;
    const char *slash = std::strrchr(path, '/');
    set_text(report->suite, sizeof report->suite, "%s", slash ? slash + 1 : path);
    stem_of(path, report->className, sizeof report->className);
    return 0;
}

void junit_add(JunitReport *report, const Sequence *sequence, const StepResult *result) {
    FILE *out = report->cases;
    if (!out) return;
    const Step &step = sequence->steps[result->index];
    report->tests++;
    std::fputs("    <testcase name=\"", out);
    char name[int(SEQUENCE_TEXT_SIZE) + int(RUN_ITERATION_SIZE) + 32];
    set_text(name, sizeof name, "line %d: %s%s%s%s", step.line, step.text,
             result->iteration[0] ? " [" : "", result->iteration, result->iteration[0] ? "]" : "");
    put_xml(out, name);
    std::fputs("\" classname=\"", out);
    put_xml(out, report->className);
    std::fprintf(out, "\" time=\"%.3f\">\n", seconds_between(result->startMs, result->endMs));
    switch (result->verdict) {
    case VERDICT_FAILED:
        report->failures++;
        std::fputs("      <failure message=\"", out);
        put_xml(out, result->message);
        std::fprintf(out, "\" type=\"%s\">", step_kind_name(step.kind));
        std::fputs("expected: ", out);
        put_xml(out, result->expected);
        std::fputs("\nreceived: ", out);
        put_xml(out, result->received);
        std::fputs("</failure>\n", out);
        break;
    case VERDICT_ERROR:
    case VERDICT_STOPPED:
        report->errors++;
        std::fputs("      <error message=\"", out);
        put_xml(out, result->message);
        std::fprintf(out, "\" type=\"%s\"/>\n",
                     result->verdict == VERDICT_ERROR ? "port-error" : "stopped");
        break;
    case VERDICT_SKIPPED:
        report->skipped++;
        std::fputs("      <skipped message=\"", out);
        put_xml(out, result->message);
        std::fputs("\"/>\n", out);
        break;
    default: break;
    }
    if (result->outLength > 0 || result->outDropped > 0) {
        std::fputs("      <system-out>", out);
        put_xml(out, result->out);
        if (result->outDropped > 0)
            std::fprintf(out, "(%d more exchanges not shown)\n", result->outDropped);
        std::fputs("</system-out>\n", out);
    }
    std::fputs("    </testcase>\n", out);
}

void junit_note(JunitReport *report, const char *line) {
    const int length = int(std::strlen(line));
    if (report->notesLength + length + 2 > int(sizeof report->notes)) return;
    std::memcpy(report->notes + report->notesLength, line, size_t(length));
    report->notesLength += length;
    report->notes[report->notesLength++] = '\n';
    report->notes[report->notesLength] = '\0';
}

int junit_write(JunitReport *report, const Run *run, const char *path) {
    if (!report->cases) return -EBADF;
    char partial[LOG_PATH_SIZE + 16];
    set_text(partial, sizeof partial, "%s.partial", path);
    FILE *out = std::fopen(partial, "w");
    if (!out) {
        const int error = errno;
        junit_close(report);
        return -error;
    }
    char time[WALL_CLOCK_TEXT_SIZE];
    wall_clock_text(run->startWall, WALL_CLOCK_OFFSET, time, sizeof time);
    time[19] = '\0'; // the schema's timestamp has no zone: local time to the second
    std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n  <testsuite name=\"",
               out);
    put_xml(out, report->suite);
    std::fprintf(out,
                 "\" tests=\"%d\" failures=\"%d\" errors=\"%d\" skipped=\"%d\" time=\"%.3f\" "
                 "timestamp=\"%s\">\n",
                 report->tests, report->failures, report->errors, report->skipped,
                 seconds_between(run->startWall, run->endWall), time);
    std::rewind(report->cases);
    char block[8192];
    for (size_t got; (got = std::fread(block, 1, sizeof block, report->cases)) > 0;)
        (void)std::fwrite(block, 1, got, out); // a failure shows in ferror(out) below
    std::fputs("    <system-out>", out);
    put_xml(out, report->notes);
    std::fputs("</system-out>\n  </testsuite>\n</testsuites>\n", out);
    const bool failed = std::ferror(report->cases) || std::ferror(out);
    errno = 0;
    int error = std::fclose(out) != 0 || failed ? (errno ? errno : EIO) : 0;
    junit_close(report);
    if (error == 0 && std::rename(partial, path) != 0) error = errno;
    if (error != 0) (void)std::remove(partial);
    return -error;
}

void junit_close(JunitReport *report) {
    if (report->cases) (void)std::fclose(report->cases); // a scratch file, dropped
    report->cases = nullptr;
}
