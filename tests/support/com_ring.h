// The main panel's port ring as the panel files define it, on the fake user interface.
#pragma once

#include "tests/support/fake_userint.h"
#include "ui/ascii.h"
#include "ui/program.h"
#include "ui/userint.h"

#include <string>

// Loads a fresh main panel into main_panel whose RING_COM holds "com20" (value 20) down to
// "com1" (value 1), with "com<port>" selected.
inline void fake_ui_main_panel_with_port(int port) {
    main_panel = LoadPanel(0, "ascii.uir", PANEL);
    std::vector<FakeItem> items;
    for (int n = 20; n >= 1; n--) items.push_back({"com" + std::to_string(n), n, ""});
    fake_ui_set_items(main_panel, RING_COM, items, 20 - port);
}
