// The readers of exchange records, in the order they were added.
#include "record/record.h"

namespace {

struct Listener {
    int id; // 0: free
    ExchangeListener function;
    void *context;
};

Listener listeners[MAX_EXCHANGE_LISTENERS];
int lastId;

} // namespace

int add_exchange_listener(ExchangeListener listener, void *context) {
    if (!listener) return -1;
    for (Listener &slot : listeners) {
        if (slot.id != 0) continue;
        slot = {++lastId, listener, context};
        return slot.id;
    }
    return -1;
}

int remove_exchange_listener(int id) {
    for (Listener &slot : listeners) {
        if (id <= 0 || slot.id != id) continue;
        slot = {0, nullptr, nullptr};
        return 0;
    }
    return -1;
}

// Ids grow, so sorting by id keeps the order of adding even where a freed slot was reused. A
// reader may remove itself (or another) while the record is handed on.
void publish_exchange(const ExchangeRecord *record) {
    int reached = 0;
    for (;;) {
        const Listener *next = nullptr;
        for (const Listener &slot : listeners)
            if (slot.id > reached && (!next || slot.id < next->id)) next = &slot;
        if (!next) return;
        reached = next->id;
        next->function(record, next->context);
    }
}
