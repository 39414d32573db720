// The sequence file's parser: one line at a time into a step, each token checked where it stands
// so that an error can name its column.
#include "run/sequence.h"

#include "link/com_name.h"
#include "link/outcome.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>

namespace {

constexpr long long MAX_DURATION_MS = 7LL * 24 * 3600 * 1000;

struct Token {
    enum Type { NONE, WORD, STRING, COMMA } type;
    int column; // 1-based
    char text[SEQUENCE_LINE_SIZE];
};

// One line being read: its text up to the comment, and where the reading stands.
struct Lexer {
    const char *text;
    int end; // the comment's start or the line's end
    int at;
    ParseError *error;
};

// NOLINTNEXTLINE(cert-dcl50-cpp): C variadic for the format attribute, which checks every call.
[[gnu::format(printf, 3, 4)]] bool fail(ParseError *error, int column, const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): va_start above; the analyzer misreads.
    std::vsnprintf(error->message, sizeof error->message, format, arguments);
    va_end(arguments);
    error->column = column;
    return false;
}

// Copies length bytes of from into to (size bytes), cut to fit, terminated. Whether all fit.
bool copy_text(char *to, int size, const char *from, int length) {
    const int kept = length < size - 1 ? length : size - 1;
    std::memcpy(to, from, size_t(kept));
    to[kept] = '\0';
    // cppcheck-suppress knownConditionTrueFalse ; false for a text longer than the field
    return kept == length;
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

void skip_blanks(Lexer *l) {
    while (l->at < l->end && is_blank(l->text[l->at])) l->at++;
}

bool at_end(Lexer *l) {
    skip_blanks(l);
    return l->at >= l->end;
}

int column(const Lexer *l) {
    return l->at + 1;
}

// A word runs up to a blank, a comma or a quote; a string is quoted, with \" and \\ inside.
bool next(Lexer *l, Token *t) {
    skip_blanks(l);
    t->column = column(l);
    t->text[0] = '\0';
    if (l->at >= l->end) {
        t->type = Token::NONE;
        return true;
    }
    const char c = l->text[l->at];
    if (c == ',') {
        t->type = Token::COMMA;
        std::snprintf(t->text, sizeof t->text, ",");
        l->at++;
        return true;
    }
    int length = 0;
    if (c == '"') {
        t->type = Token::STRING;
        for (l->at++;; l->at++) {
            if (l->at >= l->end)
                return fail(l->error, t->column, "the quote opened here is not closed");
            char d = l->text[l->at];
            if (d == '"') break;
            if (d == '\\' && l->at + 1 < l->end &&
                (l->text[l->at + 1] == '"' || l->text[l->at + 1] == '\\'))
                d = l->text[++l->at];
            t->text[length++] = d;
        }
        l->at++;
    } else {
        t->type = Token::WORD;
        while (l->at < l->end && !is_blank(l->text[l->at]) && l->text[l->at] != ',' &&
               l->text[l->at] != '"')
            t->text[length++] = l->text[l->at++];
    }
    t->text[length] = '\0';
    return true;
}

bool is_word(const Token &t, const char *word) {
    return t.type == Token::WORD && std::strcmp(t.text, word) == 0;
}

// The next token must be the word given.
bool need_word(Lexer *l, const char *word, const char *why) {
    Token t;
    if (!next(l, &t)) return false;
    if (!is_word(t, word)) return fail(l->error, t.column, "expected \"%s\" %s", word, why);
    return true;
}

bool need_end(Lexer *l) {
    Token t;
    if (!next(l, &t)) return false;
    if (t.type != Token::NONE) return fail(l->error, t.column, "unexpected \"%s\" here", t.text);
    return true;
}

// A plain decimal number: digits with an optional sign and fraction.
bool number_of(const char *text, double *value) {
    const char *c = text;
    if (*c == '+' || *c == '-') c++;
    int digits = 0, points = 0;
    for (; *c != '\0'; c++) {
        if (*c >= '0' && *c <= '9')
            digits++;
        else if (*c == '.' && points++ == 0)
            continue;
        else
            return false;
    }
    if (digits == 0) return false;
    *value = std::strtod(text, nullptr);
    return std::isfinite(*value);
}

bool need_number(Lexer *l, double *value, const char *what) {
    Token t;
    if (!next(l, &t)) return false;
    if (t.type != Token::WORD || !number_of(t.text, value))
        return fail(l->error, t.column, "expected %s (a number such as 30.0)", what);
    return true;
}

// A whole number from low to high.
bool need_count(Lexer *l, int low, int high, int *value, const char *what) {
    Token t;
    if (!next(l, &t)) return false;
    double number = 0;
    if (t.type != Token::WORD || !number_of(t.text, &number) || std::strchr(t.text, '.') ||
        number < low || number > high)
        return fail(l->error, t.column, "expected %s, a whole number from %d to %d", what, low,
                    high);
    *value = int(number);
    return true;
}

struct Unit {
    const char *name;
    long long ms;
};
const Unit units[] = {{"ms", 1}, {"s", 1000}, {"min", 60000}, {"h", 3600000}};

// "10 min", "10min", "0.5 s": a number and a unit, ms, s, min or h.
bool need_duration(Lexer *l, long long *ms, const char *what) {
    Token t;
    if (!next(l, &t)) return false;
    const int start = t.column;
    size_t digits = 0;
    while (t.type == Token::WORD &&
           ((t.text[digits] >= '0' && t.text[digits] <= '9') || t.text[digits] == '.'))
        digits++;
    char number[SEQUENCE_LINE_SIZE];
    std::snprintf(number, sizeof number, "%.*s", int(digits), t.text);
    double value = 0;
    if (t.type != Token::WORD || !number_of(number, &value))
        return fail(l->error, start, "expected %s, a duration such as 10 s or 5 min", what);
    const char *unit = t.text + digits;
    Token after;
    if (*unit == '\0') {
        if (!next(l, &after)) return false;
        unit = after.text;
        if (after.type != Token::WORD) unit = "";
    }
    for (const Unit &u : units) {
        if (std::strcmp(unit, u.name) != 0) continue;
        const double total = value * double(u.ms);
        if (total > double(MAX_DURATION_MS))
            return fail(l->error, start, "%s is longer than 7 days", what);
        *ms = std::llround(total);
        return true;
    }
    return fail(l->error, start, "%s needs a unit: ms, s, min or h", what);
}

// "A0" and the like: the read whose answer carries a channel's actual and set value.
bool channel_of(const Token &t, char *channel) {
    if (t.type != Token::WORD || t.text[0] != 'A' || t.text[1] < '0' || t.text[1] > '9' ||
        t.text[2] != '\0')
        return false;
    *channel = t.text[1];
    return true;
}

int field_of(const Token &t) {
    if (is_word(t, "actual")) return FIELD_ACTUAL;
    if (is_word(t, "set")) return FIELD_SET;
    return FIELD_NUMBER - 1;
}

// A number, or the channel's other value ("set", "actual").
bool need_operand(Lexer *l, Condition *c) {
    Token t;
    const int start = l->at;
    if (!next(l, &t)) return false;
    c->otherField = field_of(t);
    if (c->otherField >= FIELD_ACTUAL) return true;
    c->otherField = FIELD_NUMBER;
    l->at = start;
    return need_number(l, &c->number, "a number, \"actual\" or \"set\"");
}

const struct {
    const char *name;
    int op;
} operators[] = {{"==", OP_EQ}, {"!=", OP_NE}, {"<", OP_LT},
                 {"<=", OP_LE}, {">", OP_GT},  {">=", OP_GE}};

// After "A0": "actual >= 29.5", "actual within 0.5 of set", "set between 20 and 30".
bool value_condition(Lexer *l, Condition *c) {
    Token t;
    if (!next(l, &t)) return false;
    c->field = field_of(t);
    if (c->field < FIELD_ACTUAL)
        return fail(l->error, t.column, "expected \"actual\" or \"set\" after the channel");
    if (!next(l, &t)) return false;
    if (is_word(t, "within")) {
        c->op = OP_WITHIN;
        if (!need_number(l, &c->tolerance, "the tolerance")) return false;
        if (c->tolerance < 0) return fail(l->error, t.column, "the tolerance is negative");
        return need_word(l, "of", "after the tolerance") && need_operand(l, c);
    }
    if (is_word(t, "between")) {
        c->op = OP_BETWEEN;
        if (!need_number(l, &c->low, "the band's low end") ||
            !need_word(l, "and", "between the band's ends") ||
            !need_number(l, &c->high, "the band's high end"))
            return false;
        if (c->low > c->high)
            return fail(l->error, t.column, "the band's low end lies above its high end");
        return true;
    }
    for (const auto &o : operators) {
        if (!is_word(t, o.name)) continue;
        c->op = o.op;
        return need_operand(l, c);
    }
    return fail(l->error, t.column,
                "expected a comparison: ==, !=, <, <=, >, >=, within ... of, between ... and");
}

// The condition as written: the line's text from start up to where the reading stands.
void keep_text(const Lexer *l, int start, Condition *c) {
    int end = l->at;
    while (end > start && is_blank(l->text[end - 1])) end--;
    copy_text(c->text, sizeof c->text, l->text + start, end - start);
}

// An outcome code, "text matches "REGEX"", or a channel's value.
bool condition(Lexer *l, Condition *c) {
    skip_blanks(l);
    const int start = l->at;
    Token t;
    if (!next(l, &t)) return false;
    if (t.type == Token::WORD && receive_code_of(t.text) >= 0) {
        c->kind = CONDITION_OUTCOME;
        c->outcome = receive_code_of(t.text);
    } else if (is_word(t, "text")) {
        c->kind = CONDITION_TEXT;
        if (!need_word(l, "matches", "after \"text\"")) return false;
        Token pattern;
        if (!next(l, &pattern)) return false;
        if (pattern.type != Token::STRING)
            return fail(l->error, pattern.column, "expected a regular expression in quotes");
        if (!copy_text(c->pattern, sizeof c->pattern, pattern.text, int(strlen(pattern.text))))
            return fail(l->error, pattern.column, "the regular expression is longer than %d",
                        int(sizeof c->pattern) - 1);
        try {
            const std::regex compiled(pattern.text);
            (void)compiled;
        } catch (const std::regex_error &e) {
            return fail(l->error, pattern.column, "bad regular expression: %s", e.what());
        }
    } else if (channel_of(t, &c->channel)) {
        c->kind = CONDITION_VALUE;
        if (!value_condition(l, c)) return false;
    } else {
        return fail(l->error, t.column,
                    "expected an outcome code (ok, no-answer, bad-checksum, ...), "
                    "text matches \"...\" or a channel's value (A0 actual ...)");
    }
    keep_text(l, start, c);
    return true;
}

// A command text as the command field takes it: 1..MAX_COMMAND_LENGTH printable characters.
bool command_text(Lexer *l, Step *s, const char *text, int length, int start) {
    if (length == 0) return fail(l->error, start, "the command text is empty");
    if (length > MAX_COMMAND_LENGTH)
        return fail(l->error, start, "the command text is longer than %d characters",
                    int(MAX_COMMAND_LENGTH));
    if (!command_text_printable(text, length))
        return fail(l->error, start, "the command text may hold printable ASCII only");
    copy_text(s->command, sizeof s->command, text, length);
    return true;
}

// What check and wait send: a quoted command text before the condition, or the read of the
// channel a value condition names.
bool command_and_condition(Lexer *l, Step *s, const char *keyword) {
    skip_blanks(l);
    const int quoted = l->at < l->end && l->text[l->at] == '"';
    if (quoted) {
        Token t;
        if (!next(l, &t) || !command_text(l, s, t.text, int(strlen(t.text)), t.column))
            return false;
    }
    const int start = column(l);
    if (!condition(l, &s->condition)) return false;
    if (quoted) return true;
    if (s->condition.kind != CONDITION_VALUE)
        return fail(l->error, start,
                    "%s sends the channel read of a value (A0 ...); for other expectations "
                    "write the command text first, in quotes: %s \"F\" text matches \"^F\"",
                    keyword, keyword);
    const char read[] = {'A', s->condition.channel};
    copy_text(s->command, sizeof s->command, read, 2);
    return true;
}

// ", retries N" or nothing.
bool retries(Lexer *l, Step *s) {
    Token t;
    if (!next(l, &t)) return false;
    if (t.type == Token::NONE) return true;
    if (t.type != Token::COMMA) return fail(l->error, t.column, "unexpected \"%s\" here", t.text);
    return need_word(l, "retries", "after the comma") &&
           need_count(l, 0, RETRIES_MAX, &s->retries, "the retries") && need_end(l);
}

// "for D" or nothing.
bool optional_for(Lexer *l, long long *ms) {
    const int start = l->at;
    Token t;
    if (!next(l, &t)) return false;
    if (!is_word(t, "for")) {
        l->at = start;
        return true;
    }
    return need_duration(l, ms, "the time after \"for\"");
}

bool wait_step(Lexer *l, Step *s) {
    s->timeoutMs = WAIT_DEFAULT_TIMEOUT_MS;
    s->everyMs = WAIT_DEFAULT_EVERY_MS;
    if (!need_word(l, "until", "after \"wait\"") || !command_and_condition(l, s, "wait until") ||
        !optional_for(l, &s->holdMs))
        return false;
    bool timeoutGiven = false, everyGiven = false;
    for (;;) {
        Token t;
        if (!next(l, &t)) return false;
        if (t.type == Token::NONE) break;
        if (t.type != Token::COMMA)
            return fail(l->error, t.column, "unexpected \"%s\" here (options follow a comma)",
                        t.text);
        if (!next(l, &t)) return false;
        if (is_word(t, "timeout") && !timeoutGiven) {
            timeoutGiven = true;
            if (!need_duration(l, &s->timeoutMs, "the timeout")) return false;
        } else if (is_word(t, "every") && !everyGiven) {
            everyGiven = true;
            if (!need_duration(l, &s->everyMs, "the interval")) return false;
            if (s->everyMs < 100)
                return fail(l->error, t.column, "the interval must be at least 100 ms");
        } else {
            return fail(l->error, t.column, "expected \"timeout D\" or \"every D\", each once");
        }
    }
    if (s->timeoutMs < s->holdMs)
        return fail(l->error, s->column, "the timeout is shorter than the time it must hold");
    return true;
}

bool chamber_step(Lexer *l, Step *s) {
    Token t;
    if (!next(l, &t)) return false;
    const char *colon = std::strchr(t.text, ':');
    double address = 0;
    s->port = colon ? parse_com_name(t.text, size_t(colon - t.text)) : 0;
    if (t.type != Token::WORD || s->port == 0 || !number_of(colon + 1, &address) ||
        std::strchr(colon + 1, '.') || address < 1 || address > 32)
        return fail(l->error, t.column,
                    "expected the port and address as comN:ADDRESS (com1..com20, 1..32)");
    s->address = int(address);
    return need_end(l);
}

// "send a0 030.0": the rest of the line is the command text, or a quoted one.
bool send_step(Lexer *l, Step *s) {
    skip_blanks(l);
    const int start = column(l);
    if (l->at < l->end && l->text[l->at] == '"') {
        Token t;
        return next(l, &t) && need_end(l) && command_text(l, s, t.text, int(strlen(t.text)), start);
    }
    int end = l->end;
    while (end > l->at && is_blank(l->text[end - 1])) end--;
    const int length = end - l->at;
    l->at = l->end;
    return command_text(l, s, l->text + start - 1, length, start);
}

bool alarm_condition(Lexer *l, Step *s) {
    skip_blanks(l);
    const int start = l->at;
    Token t;
    if (!next(l, &t)) return false;
    if (is_word(t, "no")) {
        s->condition.kind = CONDITION_SILENCE;
        if (!need_word(l, "answer", "after \"no\"") ||
            !need_word(l, "for", "after \"no answer\"") ||
            !need_duration(l, &s->holdMs, "the time without an answer"))
            return false;
        keep_text(l, start, &s->condition);
        return need_end(l);
    }
    l->at = start;
    if (!condition(l, &s->condition)) return false;
    if (s->condition.kind != CONDITION_VALUE)
        return fail(l->error, start + 1,
                    "an alarm watches a channel's value (A0 actual between 15 and 40) or "
                    "silence (no answer for 30 s)");
    const int before = l->at;
    if (!optional_for(l, &s->holdMs)) return false;
    if (l->at != before) keep_text(l, start, &s->condition);
    return need_end(l);
}

const char *const kindNames[] = {"chamber", "send",   "expect", "check", "wait",
                                 "pause",   "repeat", "}",      "on",    "alarm"};

// One line that holds a step (not blank, no comment alone).
bool step_line(Lexer *l, Step *s) {
    Token keyword;
    if (!next(l, &keyword)) return false;
    s->column = keyword.column;
    s->kind = -1;
    for (int k = 0; k < int(sizeof kindNames / sizeof *kindNames); k++)
        if (is_word(keyword, kindNames[k])) s->kind = k;
    switch (s->kind) {
    case STEP_CHAMBER: return chamber_step(l, s);
    case STEP_SEND: return send_step(l, s);
    case STEP_EXPECT: return condition(l, &s->condition) && retries(l, s);
    case STEP_CHECK: return command_and_condition(l, s, "check") && retries(l, s);
    case STEP_WAIT: return wait_step(l, s);
    case STEP_PAUSE: return need_duration(l, &s->holdMs, "the pause") && need_end(l);
    case STEP_REPEAT:
        return need_count(l, 1, REPEAT_MAX_COUNT, &s->count, "the count") &&
               need_word(l, "{", "at the end of the repeat line") && need_end(l);
    case STEP_END: return need_end(l);
    case STEP_ON_FAIL: {
        Token t;
        if (!need_word(l, "fail", "after \"on\"") || !next(l, &t)) return false;
        if (!is_word(t, "continue") && !is_word(t, "stop"))
            return fail(l->error, t.column, "expected \"continue\" or \"stop\"");
        s->continueOnFail = is_word(t, "continue");
        return need_end(l);
    }
    case STEP_ALARM: return alarm_condition(l, s);
    default:
        return fail(l->error, keyword.column,
                    "unknown step \"%s\" (chamber, send, expect, check, wait, pause, repeat, "
                    "on fail, alarm)",
                    keyword.text);
    }
}

// Where the line's comment begins: the first "#" outside quotes; the line's length without one.
int comment_start(const char *line, int length) {
    bool quoted = false;
    for (int i = 0; i < length; i++) {
        if (line[i] == '"') quoted = !quoted;
        if (quoted && line[i] == '\\' && i + 1 < length) i++;
        if (!quoted && line[i] == '#') return i;
    }
    return length;
}

// What the file as a whole must satisfy, beside each line: repeats closed and nested within
// bounds, a chamber before the first exchange, an exchange before the first expect, and a step.
struct Structure {
    int open[REPEAT_MAX_DEPTH];
    int depth;
    int port, address; // the chamber named last, 0 before the first
    bool exchanged;
    int verdicts;
};

bool place(Structure *st, Sequence *sequence, Step *s, ParseError *error) {
    const int index = sequence->count;
    s->port = s->kind == STEP_CHAMBER ? s->port : st->port;
    s->address = s->kind == STEP_CHAMBER ? s->address : st->address;
    switch (s->kind) {
    case STEP_CHAMBER: st->port = s->port, st->address = s->address; break;
    case STEP_SEND:
    case STEP_CHECK:
    case STEP_WAIT:
    case STEP_ALARM:
        if (st->port == 0)
            return fail(error, s->column, "no chamber yet: name one first (chamber com1:1)");
        st->exchanged = st->exchanged || s->kind != STEP_ALARM;
        break;
    case STEP_EXPECT:
        if (!st->exchanged)
            return fail(error, s->column,
                        "expect judges the exchange before it, and there is none (send, check "
                        "or wait first)");
        break;
    case STEP_REPEAT:
        if (st->depth == REPEAT_MAX_DEPTH)
            return fail(error, s->column, "repeats nest deeper than %d", REPEAT_MAX_DEPTH);
        st->open[st->depth++] = index;
        break;
    case STEP_END:
        if (st->depth == 0) return fail(error, s->column, "this } closes no repeat");
        s->partner = st->open[--st->depth];
        sequence->steps[s->partner].partner = index;
        break;
    default: break;
    }
    if (step_has_verdict(s) && s->kind != STEP_CHAMBER) st->verdicts++;
    return true;
}

// One line of the file (without its line end) into the next step, when it holds one.
bool parse_line(const char *line, int length, Structure *st, Sequence *sequence,
                ParseError *error) {
    if (length >= SEQUENCE_LINE_SIZE - 1)
        return fail(error, SEQUENCE_LINE_SIZE - 1, "the line is longer than %d characters",
                    SEQUENCE_LINE_SIZE - 2);
    const int code = comment_start(line, length);
    for (int i = 0; i < length; i++) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == 0 || (c < ' ' && c != '\t') || c == 0x7F || (c >= 0x80 && i < code))
            return fail(error, i + 1, "byte 0x%02X: only printable ASCII outside comments", c);
    }
    Lexer l{line, code, 0, error};
    if (at_end(&l)) return true;
    if (sequence->count == SEQUENCE_MAX_STEPS)
        return fail(error, column(&l), "more than %d steps", SEQUENCE_MAX_STEPS);
    Step *s = &sequence->steps[sequence->count];
    *s = {};
    s->line = error->line;
    int textEnd = code;
    while (textEnd > l.at && is_blank(line[textEnd - 1])) textEnd--;
    copy_text(s->text, sizeof s->text, line + l.at, textEnd - l.at);
    if (!step_line(&l, s) || !place(st, sequence, s, error)) return false;
    sequence->count++;
    return true;
}

} // namespace

int parse_sequence(const char *text, long length, Sequence *sequence, ParseError *error) {
    sequence->count = 0;
    *error = {};
    Structure st{};
    long at = 0;
    if (length >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) at = 3; // a UTF-8 mark
    for (int lineNumber = 1; at < length; lineNumber++) {
        error->line = lineNumber;
        long end = at;
        while (end < length && text[end] != '\n') end++;
        int lineLength =
            int(end - at < long(SEQUENCE_LINE_SIZE) ? end - at : long(SEQUENCE_LINE_SIZE));
        const char *line = text + at;
        at = end + 1;
        // cppcheck-suppress knownConditionTrueFalse ; true for any line that holds a character
        if (lineLength > 0 && line[lineLength - 1] == '\r') lineLength--;
        if (!parse_line(line, lineLength, &st, sequence, error)) {
            sequence->count = 0;
            return -1;
        }
    }
    if (st.depth > 0) {
        const Step &open = sequence->steps[st.open[st.depth - 1]];
        *error = {open.line, open.column, ""};
        std::snprintf(error->message, sizeof error->message, "this repeat has no closing }");
        sequence->count = 0;
        return -1;
    }
    if (st.verdicts == 0) {
        *error = {0, 0, "the file holds no step to run"};
        sequence->count = 0;
        return -1;
    }
    *error = {};
    return 0;
}

int parse_alarm(const char *text, Step *step, ParseError *error) {
    *step = {};
    *error = {1, 0, ""};
    step->kind = STEP_ALARM;
    const int length = int(strnlen(text, SEQUENCE_LINE_SIZE - 1));
    std::memcpy(step->text, "alarm ", 6);
    copy_text(step->text + 6, int(sizeof step->text) - 6, text, length);
    for (int i = 0; i < length; i++)
        if (text[i] < ' ' || text[i] > '~') {
            fail(error, i + 1, "only printable ASCII");
            return -1;
        }
    Lexer l{text, length, 0, error};
    return alarm_condition(&l, step) ? 0 : -1;
}

void parse_error_text(const char *file, const ParseError *error, char *text, int size) {
    if (error->line > 0 && error->column > 0)
        std::snprintf(text, size_t(size), "%s:%d:%d: %s", file, error->line, error->column,
                      error->message);
    else if (error->line > 0)
        std::snprintf(text, size_t(size), "%s:%d: %s", file, error->line, error->message);
    else
        std::snprintf(text, size_t(size), "%s: %s", file, error->message);
}

void duration_text(long long ms, char *text, int size) {
    if (ms < 1000)
        std::snprintf(text, size_t(size), "%lld ms", ms);
    else if (ms < 60000)
        std::snprintf(text, size_t(size), "%.*f s", ms % 1000 ? 1 : 0, double(ms) / 1000);
    else if (ms < 3600000)
        std::snprintf(text, size_t(size), ms % 60000 >= 1000 ? "%lld min %lld s" : "%lld min",
                      ms / 60000, ms % 60000 / 1000);
    else
        std::snprintf(text, size_t(size), ms % 3600000 >= 60000 ? "%lld h %lld min" : "%lld h",
                      ms / 3600000, ms % 3600000 / 60000);
}

// NOLINTNEXTLINE(cert-dcl50-cpp): C variadic for the format attribute, which checks every call.
void set_text(char *text, int size, const char *format, ...) {
    if (size <= 0) return;
    va_list arguments;
    va_start(arguments, format);
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): va_start above; the analyzer misreads.
    std::vsnprintf(text, size_t(size), format, arguments);
    va_end(arguments);
}

const char *step_kind_name(int kind) {
    if (kind < 0 || kind >= int(sizeof kindNames / sizeof *kindNames)) return "";
    return kind == STEP_ON_FAIL ? "on fail" : kindNames[kind];
}

int step_has_verdict(const Step *step) {
    return step->kind != STEP_REPEAT && step->kind != STEP_END && step->kind != STEP_ON_FAIL &&
           step->kind != STEP_ALARM;
}
