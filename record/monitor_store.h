// What the line monitor keeps of each exchange: a compact, bounded ring of the newest exchanges,
// two rows each (what was sent, what came back), and their cells as text. However long cyclic
// sending runs, the store stays the size it was made with. No Qt here.
#pragma once

#include "record/record.h"

enum {
    MONITOR_EXCHANGES = 10000,           // the newest exchanges kept
    MONITOR_RECEIVED_KEPT = 1024,        // bytes kept of one receive; the rest is only counted
    MONITOR_POOL_SIZE = 4 * 1024 * 1024, // bytes of all exchanges kept: frames, answers, port texts
};

// The two rows of an exchange: row 2 * index + direction.
enum {
    MONITOR_TX = 0,
    MONITOR_RX = 1,
};

// The columns of a row.
enum {
    MONITOR_TIME,      // wall clock of the write (TX) or of the first byte read (RX), with ms
    MONITOR_SINCE,     // ms after the end of the write
    MONITOR_DIRECTION, // "TX", "RX"
    MONITOR_PORT,      // "com1"
    MONITOR_ADDRESS,   // the chamber address
    MONITOR_HEX,       // the bytes as two hex digits each, a blank between
    MONITOR_TEXT,      // the bytes as printable text, one character each ('.' for the others)
    MONITOR_OUTCOME,   // RX: the outcome in words; TX: a failed write
    MONITOR_COLUMNS,
};

struct MonitorEntry {
    long long number;      // the exchange's number since the store was made, from 1
    long long wallMs;      // when the write began, ms since 1970 UTC
    long long poolAt;      // where its bytes begin in the pool: sent, received, port text
    float firstMs, lastMs; // when the first and the last byte read came; -1 for none
    float rttMs;           // -1 unless answered
    int received;          // bytes read; the first `kept` of them are in the pool
    int kept;
    int flushed;           // bytes discarded before the write and by the flush afterwards
    int writeResult;       // ComWrt's result
    int decidingIndex;     // among the bytes read, -1 for none
    short sentLength;      // the frame's bytes in the pool
    short portTextLength;  // RECEIVE_PORT_ERROR: the port's text in the pool
    short awaitedMs;       // how long the first byte was awaited after the write
    short position;        // the deciding byte's place in its frame, -1 for none
    unsigned char code;    // RECEIVE_*
    unsigned char value;   // the verdict's value
    unsigned char port;    // com_num
    unsigned char address; // chamber address
    unsigned char answered;
};

struct MonitorStore {
    MonitorEntry entries[MONITOR_EXCHANGES];
    int first;          // slot of the oldest entry
    int count;          // entries kept
    long long numbered; // exchanges taken since the store was made
    long long poolEnd;  // bytes ever put into the pool; byte p lies at pool[p % size]
    unsigned char pool[MONITOR_POOL_SIZE];
};

// Empties the store (numbering goes on). The pool needs no clearing, so a store made without
// zeroing costs memory only as it fills.
void monitor_reset(MonitorStore *store);
// The exchanges kept.
int monitor_count(const MonitorStore *store);
// The index-th exchange kept, oldest first; null outside 0..count-1.
const MonitorEntry *monitor_entry(const MonitorStore *store, int index);
// How many of the oldest exchanges must go before the record fits (in number and in the pool).
int monitor_room(const MonitorStore *store, const ExchangeRecord *record);
// Forgets the oldest count exchanges.
void monitor_drop(MonitorStore *store, int count);
// Takes the record as the newest exchange, first dropping what monitor_room says.
void monitor_add(MonitorStore *store, const ExchangeRecord *record);

// The bytes of a row of the index-th exchange, as kept, into bytes (at most size); returns how
// many.
int monitor_bytes(const MonitorStore *store, int index, int direction, unsigned char *bytes,
                  int size);
// Where the marked bytes of a row begin: the deciding byte of a rejected answer, followed by
// every byte read after it. -1 when nothing is marked (a TX row, a valid answer, no byte decided
// or the deciding byte not kept).
int monitor_mark(const MonitorStore *store, int index, int direction);
// One cell of row (2 * index + direction) as Latin-1 text; returns the length written.
int monitor_cell(const MonitorStore *store, int row, int column, char *text, int size);
// A row as one line for copying and saving: the date and the cells, separated by tabs, with the
// marked hex bytes in brackets. Returns the length written.
int monitor_row_text(const MonitorStore *store, int row, char *text, int size);
