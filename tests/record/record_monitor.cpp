// The line monitor's store: bounded in exchanges and in bytes, and its rows marked where the
// answer went wrong.
#include "display/format.h"
#include "record/monitor_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

const std::string sent = "\x02\x81\xC1\xB0\xF0\x03";
// "A0 023.5 025.0" from chamber 1; its checksum byte (16) made wrong
const std::string rejected = "\x02\x81\xC1\xB0\xA0\xB0\xB2\xB3\xAE\xB5\xA0\xB0\xB2\xB5\xAE\xB0"
                             "\xB5\x03";

struct Exchange {
    std::string received;
    int code, decidingIndex, value;
    int flushed = 0;
    int count = -1; // bytes read, when more than received
};

std::unique_ptr<ExchangeRecord> recordOf(const Exchange &e) {
    auto record = std::make_unique<ExchangeRecord>();
    *record = {};
    record->wallMs = 1700000000123;
    record->port = 2;
    record->address = 1;
    std::memcpy(record->sent, sent.data(), sent.size());
    record->sentLength = int(sent.size());
    record->writeResult = int(sent.size());
    ReceiveOutcome &r = record->received;
    r.code = e.code;
    r.decidingIndex = e.decidingIndex;
    r.decidingValue = e.value;
    r.frameStart = e.received.empty() || e.received[0] != '\x02' ? -1 : 0;
    r.count = e.count >= 0 ? e.count : int(e.received.size());
    r.flushed = e.flushed;
    for (size_t i = 0; i < e.received.size() && i < RECEIVE_LOG_SIZE; i++) {
        r.bytes[i] = (unsigned char)e.received[i];
        r.ms[i] = 12.5f + float(i);
    }
    record->answered = e.code == RECEIVE_OK;
    record->rttMs = record->answered ? r.ms[r.count - 1] : -1;
    return record;
}

std::string cell(const MonitorStore *store, int row, int column) {
    char text[4096];
    monitor_cell(store, row, column, text, sizeof text);
    return text;
}

std::string rowText(const MonitorStore *store, int row) {
    char text[8192];
    monitor_row_text(store, row, text, sizeof text);
    return text;
}

// Made without zeroing, as the monitor makes it.
std::unique_ptr<MonitorStore> newStore() {
    auto store = std::make_unique_for_overwrite<MonitorStore>();
    store->numbered = store->poolEnd = 0;
    monitor_reset(store.get());
    return store;
}

TEST(MonitorStore, MarksTheDecidingByteAndWhatFollows) {
    const struct {
        Exchange exchange;
        int mark;
        const char *hex;     // as copied: marked bytes in brackets
        const char *outcome; // German
    } cases[] = {
        {{rejected, RECEIVE_BAD_CHECKSUM, 16, 0x35},
         16,
         "02 81 C1 B0 A0 B0 B2 B3 AE B5 A0 B0 B2 B5 AE B0 [B5 03]",
         "Pr\xfc"
         "fsumme falsch: Byte 16 ergibt 0x35"},
        {{"\x7F", RECEIVE_BAD_START, 0, 0x7F, 18},
         0,
         "[7F]",
         "Falscher Anfang: Byte 0 ist 0x7F statt STX (0x02); 18 Bytes verworfen"},
        {{"\x02\x81\xC1\x03", RECEIVE_OK, 3, ETX},
         -1,
         "02 81 C1 03",
         "G\xfc"
         "ltige Antwort"},
        {{"", RECEIVE_NO_ANSWER, -1, 0}, -1, "", "Keine Antwort innerhalb von 500 ms"},
        {{std::string(2000, '\xD1'), RECEIVE_TOO_SLOW, -1, 0, 0, 2000}, -1, nullptr, nullptr},
    };
    auto store = newStore();
    Fremdsprache = 0;
    for (const auto &c : cases) monitor_add(store.get(), recordOf(c.exchange).get());
    ASSERT_EQ(monitor_count(store.get()), 5);

    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(receive_code_name(cases[i].exchange.code));
        const int rx = 2 * i + MONITOR_RX;
        EXPECT_EQ(monitor_mark(store.get(), i, MONITOR_RX), cases[i].mark);
        EXPECT_EQ(monitor_mark(store.get(), i, MONITOR_TX), -1);
        EXPECT_EQ(cell(store.get(), rx, MONITOR_OUTCOME), cases[i].outcome);
        const std::string line = rowText(store.get(), rx);
        EXPECT_NE(line.find(std::string("\tRX\tcom2\t1\t") + cases[i].hex + "\t"),
                  std::string::npos)
            << line;
    }
    EXPECT_EQ(cell(store.get(), 0, MONITOR_HEX), "02 81 C1 B0 F0 03");
    EXPECT_EQ(cell(store.get(), 0, MONITOR_TEXT), "..A0p.");
    EXPECT_EQ(cell(store.get(), 0, MONITOR_SINCE), "+0,000 ms");
    EXPECT_EQ(cell(store.get(), 1, MONITOR_SINCE), "+12,500 ms");
    EXPECT_EQ(cell(store.get(), 1, MONITOR_TEXT), "..A0 023.5 025.05.");
    EXPECT_EQ(cell(store.get(), 7, MONITOR_SINCE), "") << "no byte, no time";
    EXPECT_EQ(cell(store.get(), 7, MONITOR_TIME), "");
    EXPECT_EQ(cell(store.get(), 1, MONITOR_TIME).size(), 12u); // hh:mm:ss.mmm
    // a long answer keeps its first bytes and counts the rest
    const std::string tail = cell(store.get(), 9, MONITOR_HEX);
    EXPECT_EQ(tail.substr(tail.size() - 13), "D1 ... (+976)");
}

TEST(MonitorStore, KeepsTheNewestExchangesWithinItsCountAndItsPool) {
    auto store = newStore();
    const auto small = recordOf({"\x02\x81\xC1\x03", RECEIVE_OK, 3, ETX});
    for (int i = 0; i < MONITOR_EXCHANGES + 5; i++) {
        const int room = monitor_room(store.get(), small.get());
        EXPECT_EQ(room, i < MONITOR_EXCHANGES ? 0 : 1);
        monitor_add(store.get(), small.get());
    }
    EXPECT_EQ(monitor_count(store.get()), MONITOR_EXCHANGES);
    EXPECT_EQ(monitor_entry(store.get(), 0)->number, 6);

    // Answers that each fill MONITOR_RECEIVED_KEPT bytes: the pool bounds the count, and the
    // bytes of the oldest one kept are whole after the pool has wrapped many times.
    monitor_reset(store.get());
    std::string big(MONITOR_RECEIVED_KEPT, '\0');
    for (int i = 0; i < 9000; i++) {
        for (size_t k = 0; k < big.size(); k++) big[k] = char(i + k);
        monitor_add(store.get(), recordOf({big, RECEIVE_TOO_SLOW, -1, 0}).get());
    }
    const int each = int(sent.size()) + MONITOR_RECEIVED_KEPT;
    EXPECT_EQ(monitor_count(store.get()), MONITOR_POOL_SIZE / each);
    const MonitorEntry *oldest = monitor_entry(store.get(), 0);
    unsigned char bytes[MONITOR_RECEIVED_KEPT];
    ASSERT_EQ(monitor_bytes(store.get(), 0, MONITOR_RX, bytes, sizeof bytes),
              MONITOR_RECEIVED_KEPT);
    const int i = int(oldest->number) - MONITOR_EXCHANGES - 5 - 1;
    for (int k = 0; k < MONITOR_RECEIVED_KEPT; k++)
        ASSERT_EQ(bytes[k], (unsigned char)(i + k)) << "byte " << k;
}

} // namespace
