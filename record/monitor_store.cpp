// The line monitor's ring of exchanges: fixed entries, and one byte pool that their frames,
// answers and port texts share in the order they came.
#include "record/monitor_store.h"

#include "display/format.h"
#include "record/bounded_text.h"
#include "record/calendar.h"
#include "record/words.h"

#include <cstring>
#include <ctime>

namespace {

int kept_of(const ExchangeRecord *record) {
    const int count = record->received.count;
    return count < MONITOR_RECEIVED_KEPT ? count : MONITOR_RECEIVED_KEPT;
}

int port_text_length(const ExchangeRecord *record) {
    if (record->received.code != RECEIVE_PORT_ERROR) return 0;
    return (int)strnlen(record->received.portMessage, PORT_MESSAGE_SIZE - 1);
}

// The pool bytes that a record takes.
long long need_of(const ExchangeRecord *record) {
    return (long long)record->sentLength + kept_of(record) + port_text_length(record);
}

void put(MonitorStore *store, const void *bytes, int count) {
    const unsigned char *from = static_cast<const unsigned char *>(bytes);
    for (int i = 0; i < count; i++) store->pool[(store->poolEnd + i) % MONITOR_POOL_SIZE] = from[i];
    store->poolEnd += count;
}

// Copies count pool bytes from p on.
void take(const MonitorStore *store, long long p, unsigned char *bytes, int count) {
    for (int i = 0; i < count; i++) bytes[i] = store->pool[(p + i) % MONITOR_POOL_SIZE];
}

const MonitorEntry *row_entry(const MonitorStore *store, int row, int *direction) {
    if (row < 0) return nullptr;
    *direction = row % 2;
    return monitor_entry(store, row / 2);
}

bool english(void) {
    return Fremdsprache != 0;
}

// Wall clock in local time: "12:34:56.789", with the date before it when wanted.
void add_wall_clock(BoundedText *text, long long wallMs, bool withDate) {
    char clock[WALL_CLOCK_TEXT_SIZE];
    wall_clock_text(wallMs, withDate ? WALL_CLOCK_DATE_TIME : WALL_CLOCK_TIME, clock, sizeof clock);
    text_add(text, "%s", clock);
}

void add_hex(BoundedText *text, const unsigned char *bytes, int count, int mark, bool brackets) {
    for (int i = 0; i < count; i++) {
        const bool opens = brackets && i == mark;
        text_add(text, "%s%s%02X%s", i > 0 ? " " : "", opens ? "[" : "", bytes[i],
                 brackets && mark >= 0 && i == count - 1 ? "]" : "");
    }
}

void add_printable(BoundedText *text, const unsigned char *bytes, int count) {
    for (int i = 0; i < count; i++) {
        const int c = bytes[i] & 0x7F;
        text_add(text, "%c", c >= 0x20 && c < 0x7F ? c : '.');
    }
}

void add_outcome(BoundedText *text, const MonitorStore *store, const MonitorEntry *entry,
                 int direction) {
    if (direction == MONITOR_TX) {
        if (entry->writeResult < 0)
            text_add(text, english() ? "write failed (%d)" : "Schreiben fehlgeschlagen (%d)",
                     entry->writeResult);
        return;
    }
    char portText[PORT_MESSAGE_SIZE];
    take(store, entry->poolAt + entry->sentLength + entry->kept,
         reinterpret_cast<unsigned char *>(portText), entry->portTextLength);
    portText[entry->portTextLength] = '\0';
    const Verdict verdict = {entry->code,     entry->position, entry->value,    entry->address,
                             entry->received, portText,        entry->awaitedMs};
    char words[PORT_MESSAGE_SIZE + 128];
    outcome_words(&verdict, words, sizeof words);
    text_add(text, "%s", words);
    if (entry->flushed > 0)
        text_add(text, english() ? "; %d bytes discarded" : "; %d Bytes verworfen", entry->flushed);
}

void add_cell(BoundedText *text, const MonitorStore *store, int row, int column, bool forCopy) {
    int direction = 0;
    const MonitorEntry *entry = row_entry(store, row, &direction);
    if (!entry) return;
    const bool rx = direction == MONITOR_RX;
    switch (column) {
    case MONITOR_TIME:
        if (!rx)
            add_wall_clock(text, entry->wallMs, forCopy);
        else if (entry->firstMs >= 0)
            add_wall_clock(text, entry->wallMs + (long long)entry->firstMs, forCopy);
        break;
    case MONITOR_SINCE:
        if (!rx || entry->firstMs >= 0) {
            char ms[32];
            ms_words(rx ? entry->firstMs : 0.0, 3, ms, sizeof ms);
            text_add(text, "+%s ms", ms);
        }
        break;
    case MONITOR_DIRECTION: text_add(text, rx ? "RX" : "TX"); break;
    case MONITOR_PORT: text_add(text, "com%d", entry->port); break;
    case MONITOR_ADDRESS: text_add(text, "%d", entry->address); break;
    case MONITOR_HEX:
    case MONITOR_TEXT: {
        unsigned char bytes[MONITOR_RECEIVED_KEPT];
        const int count = monitor_bytes(store, row / 2, direction, bytes, sizeof bytes);
        if (column == MONITOR_HEX)
            add_hex(text, bytes, count, monitor_mark(store, row / 2, direction), forCopy);
        else
            add_printable(text, bytes, count);
        if (rx && entry->received > entry->kept)
            text_add(text, " ... (+%d)", entry->received - entry->kept);
        break;
    }
    case MONITOR_OUTCOME: add_outcome(text, store, entry, direction); break;
    default: break;
    }
}

} // namespace

void monitor_reset(MonitorStore *store) {
    store->first = store->count = 0;
}

int monitor_count(const MonitorStore *store) {
    return store->count;
}

const MonitorEntry *monitor_entry(const MonitorStore *store, int index) {
    if (index < 0 || index >= store->count) return nullptr;
    return &store->entries[(store->first + index) % MONITOR_EXCHANGES];
}

int monitor_room(const MonitorStore *store, const ExchangeRecord *record) {
    const long long end = store->poolEnd + need_of(record);
    int dropped = 0;
    while (dropped < store->count) {
        const MonitorEntry *oldest = monitor_entry(store, dropped);
        if (store->count - dropped < MONITOR_EXCHANGES && end - oldest->poolAt <= MONITOR_POOL_SIZE)
            break;
        dropped++;
    }
    return dropped;
}

void monitor_drop(MonitorStore *store, int count) {
    if (count > store->count) count = store->count;
    if (count <= 0) return;
    store->first = (store->first + count) % MONITOR_EXCHANGES;
    store->count -= count;
}

void monitor_add(MonitorStore *store, const ExchangeRecord *record) {
    monitor_drop(store, monitor_room(store, record));
    const ReceiveOutcome *received = &record->received;
    const Verdict verdict = verdict_of(received, record->address);
    MonitorEntry *entry = &store->entries[(store->first + store->count) % MONITOR_EXCHANGES];
    const int kept = kept_of(record);
    const int logged = receive_bytes_kept(received);

    entry->number = ++store->numbered;
    entry->wallMs = record->wallMs;
    entry->poolAt = store->poolEnd;
    // cppcheck-suppress knownConditionTrueFalse ; it takes the count for the empty record's
    entry->firstMs = logged > 0 ? received->ms[0] : -1;
    // cppcheck-suppress knownConditionTrueFalse
    entry->lastMs = logged > 0 ? received->ms[logged - 1] : -1;
    entry->rttMs = record->answered ? (float)record->rttMs : -1;
    entry->received = received->count;
    entry->kept = kept;
    entry->flushed = received->flushed;
    entry->awaitedMs = (short)verdict.awaitedMs;
    entry->writeResult = record->writeResult;
    entry->decidingIndex = received->decidingIndex;
    entry->sentLength = (short)record->sentLength;
    entry->portTextLength = (short)port_text_length(record);
    entry->position = (short)verdict.position;
    entry->code = (unsigned char)verdict.code;
    entry->value = (unsigned char)verdict.value;
    entry->port = (unsigned char)record->port;
    entry->address = (unsigned char)record->address;
    entry->answered = (unsigned char)(record->answered != 0);
    put(store, record->sent, record->sentLength);
    put(store, received->bytes, kept);
    put(store, received->portMessage, entry->portTextLength);
    store->count++;
}

int monitor_bytes(const MonitorStore *store, int index, int direction, unsigned char *bytes,
                  int size) {
    const MonitorEntry *entry = monitor_entry(store, index);
    if (!entry || size <= 0) return 0;
    const long long from =
        direction == MONITOR_TX ? entry->poolAt : entry->poolAt + entry->sentLength;
    int count = direction == MONITOR_TX ? entry->sentLength : entry->kept;
    if (count > size) count = size;
    take(store, from, bytes, count);
    return count;
}

int monitor_mark(const MonitorStore *store, int index, int direction) {
    const MonitorEntry *entry = monitor_entry(store, index);
    if (!entry || direction != MONITOR_RX || entry->code == RECEIVE_OK) return -1;
    return entry->decidingIndex < entry->kept ? entry->decidingIndex : -1;
}

int monitor_cell(const MonitorStore *store, int row, int column, char *buffer, int size) {
    BoundedText text = bounded_text(buffer, size);
    add_cell(&text, store, row, column, false);
    return text.length;
}

int monitor_row_text(const MonitorStore *store, int row, char *buffer, int size) {
    BoundedText text = bounded_text(buffer, size);
    for (int column = 0; column < MONITOR_COLUMNS; column++) {
        if (column > 0) text_add(&text, "\t");
        add_cell(&text, store, row, column, true);
    }
    return text.length;
}
