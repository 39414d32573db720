// An in-memory stand-in for ui/userint.h, for tests that run core code without widgets.
//
// Contract:
// - LoadPanel hands out new handles (1, 2, ...) for empty panels; it knows no panel files.
//   A control comes into being when a test or a setter first writes it; reading a control that
//   was never written fails with UIE_BAD_CONTROL, on an unknown handle with UIE_BAD_PANEL.
// - A control holds an integer, a text and a list of items with a selected index. With items,
//   GetCtrlVal reads the selected item's value (its text value for the text form) and SetCtrlVal
//   selects the first item with that value, like a ring; without items it reads and writes the
//   control's own integer or text. InsertListItem on an empty list selects the new item.
// - MessagePopup records the box and returns at once. No events are ever delivered:
//   RunUserInterface returns the code of the last QuitUserInterface at once.
#pragma once

#include <string>
#include <vector>

struct FakeItem {
    std::string label;
    int value;
    std::string text; // the item's text value, for rings read as text
};

struct FakeMessage {
    std::string title, message;
};

// Drops every panel and record.
void fake_ui_reset();
// Replaces the items of a control (creating it) and selects index `selected`.
void fake_ui_set_items(int panel, int control, std::vector<FakeItem> items, int selected);
// The labels of a control's items, top first.
std::vector<std::string> fake_ui_labels(int panel, int control);
// Message boxes shown since the reset, in order.
const std::vector<FakeMessage> &fake_ui_messages();
// Whether timer ticks are suspended, and which control has the focus (0 if none) on a panel.
bool fake_ui_ticks_suspended();
int fake_ui_active_control(int panel);
// The tooltip text SetCtrlAttribute gave a control, "" if none.
std::string fake_ui_tooltip(int panel, int control);
// Whether a handle is loaded (not discarded), shown with DisplayPanel, or a popup.
bool fake_ui_loaded(int panel);
bool fake_ui_shown(int panel);
bool fake_ui_popup(int panel);
