// One exchange's hold on a port for tests of the link layer: the port failures it reports are
// kept in order, as the window would show them.
#pragma once

#include "link/link.h"

#include <string>
#include <vector>

struct TestLink {
    LinkExchange x{};
    std::vector<std::string> messages;

    // Ready for an exchange on "com<port>", with no failure reported yet.
    void reset(int port) {
        messages.clear();
        link_exchange_init(&x, port, ("com" + std::to_string(port)).c_str(), keep, this);
    }

private:
    static void keep(const char *message, void *self) {
        static_cast<TestLink *>(self)->messages.emplace_back(message);
    }
};
