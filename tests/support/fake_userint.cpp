// The in-memory panels behind fake_userint.h.
#include "tests/support/fake_userint.h"
#include "ui/userint.h"
#include "ui/workbench.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace {

struct Control {
    int value = 0;
    std::string text, tooltip;
    std::vector<FakeItem> items;
    int selected = -1;
};

struct Panel {
    std::string file, title;
    int resourceId = 0, parent = 0, active = 0;
    bool shown = false, popup = false;
    std::map<int, Control> controls;
};

struct State {
    std::map<int, Panel> panels;
    int nextHandle = 1;
    std::vector<FakeMessage> messages;
    bool suspended = false;
    int quitCode = 0;
} ui;

Panel *findPanel(int panel) {
    auto found = ui.panels.find(panel);
    return found == ui.panels.end() ? nullptr : &found->second;
}

// The control to read, or nullptr with the failure code in *error.
Control *findControl(int panel, int control, int *error) {
    Panel *p = findPanel(panel);
    if (!p) {
        *error = UIE_BAD_PANEL;
        return nullptr;
    }
    auto found = p->controls.find(control);
    if (found == p->controls.end()) {
        *error = UIE_BAD_CONTROL;
        return nullptr;
    }
    return &found->second;
}

// The control to write, created if new, or nullptr on an unknown panel.
Control *writeControl(int panel, int control) {
    Panel *p = findPanel(panel);
    return p ? &p->controls[control] : nullptr;
}

const FakeItem *selectedItem(const Control &c) {
    if (c.selected < 0 || c.selected >= int(c.items.size())) return nullptr;
    return &c.items[size_t(c.selected)];
}

// Selects the first item that matches, as setting a ring's value does.
template <typename Match>
int selectFirst(Control &c, Match match) {
    auto found = std::find_if(c.items.begin(), c.items.end(), match);
    if (found == c.items.end()) return UIE_BAD_INDEX;
    c.selected = int(found - c.items.begin());
    return 0;
}

void copyCut(const std::string &from, char *to, int size) {
    if (size <= 0) return;
    size_t n = std::min(from.size(), size_t(size - 1));
    memcpy(to, from.data(), n);
    to[n] = '\0';
}

} // namespace

void fake_ui_reset() {
    ui = State();
}

void fake_ui_set_items(int panel, int control, std::vector<FakeItem> items, int selected) {
    if (Control *c = writeControl(panel, control)) {
        c->items = std::move(items);
        c->selected = selected;
    }
}

std::vector<std::string> fake_ui_labels(int panel, int control) {
    std::vector<std::string> labels;
    int error = 0;
    if (Control *c = findControl(panel, control, &error))
        for (const FakeItem &item : c->items) labels.push_back(item.label);
    return labels;
}

const std::vector<FakeMessage> &fake_ui_messages() {
    return ui.messages;
}
bool fake_ui_ticks_suspended() {
    return ui.suspended;
}
int fake_ui_active_control(int panel) {
    Panel *p = findPanel(panel);
    return p ? p->active : 0;
}
std::string fake_ui_tooltip(int panel, int control) {
    int error;
    const Control *c = findControl(panel, control, &error);
    return c ? c->tooltip : "";
}
bool fake_ui_loaded(int panel) {
    return findPanel(panel) != nullptr;
}
bool fake_ui_shown(int panel) {
    Panel *p = findPanel(panel);
    return p && p->shown;
}
bool fake_ui_popup(int panel) {
    Panel *p = findPanel(panel);
    return p && p->popup;
}

int InitCVIRTE(void *, char *[], void *) {
    return 1;
}
int SetCallbackTable(const CallbackBinding *, int) {
    return 0;
}

int LoadPanel(int parentPanel, const char *fileName, int panelResourceId) {
    if (parentPanel != 0 && !findPanel(parentPanel)) return UIE_BAD_PANEL;
    Panel &p = ui.panels[ui.nextHandle];
    p.file = fileName;
    p.resourceId = panelResourceId;
    p.parent = parentPanel;
    return ui.nextHandle++;
}

int open_workbench(int panel) {
    return findPanel(panel) ? 0 : UIE_BAD_PANEL;
}

int record_log(const char *) {
    return 0; // the fake window records nothing
}

int DisplayPanel(int panel) {
    Panel *p = findPanel(panel);
    if (!p) return UIE_BAD_PANEL;
    p->shown = true;
    return 0;
}

int InstallPopup(int panel) {
    Panel *p = findPanel(panel);
    if (!p) return UIE_BAD_PANEL;
    p->shown = p->popup = true;
    return 0;
}

int DiscardPanel(int panel) {
    return ui.panels.erase(panel) ? 0 : UIE_BAD_PANEL;
}

int RunUserInterface(void) {
    return ui.quitCode;
}
int QuitUserInterface(int returnCode) {
    ui.quitCode = returnCode;
    return 0;
}

int GetCtrlVal(int panel, int control, int *value) {
    int error = 0;
    Control *c = findControl(panel, control, &error);
    if (!c) return error;
    if (c->items.empty()) {
        *value = c->value;
        return 0;
    }
    const FakeItem *item = selectedItem(*c);
    if (!item) return UIE_BAD_INDEX;
    *value = item->value;
    return 0;
}

int GetCtrlValText(int panel, int control, char *text, int textSize) {
    int error = 0;
    Control *c = findControl(panel, control, &error);
    if (!c) return error;
    if (c->items.empty()) {
        copyCut(c->text, text, textSize);
        return 0;
    }
    const FakeItem *item = selectedItem(*c);
    if (!item) return UIE_BAD_INDEX;
    copyCut(item->text, text, textSize);
    return 0;
}

int SetCtrlVal(int panel, int control, int value) {
    Control *c = writeControl(panel, control);
    if (!c) return UIE_BAD_PANEL;
    if (c->items.empty()) {
        c->value = value;
        return 0;
    }
    return selectFirst(*c, [&](const FakeItem &item) { return item.value == value; });
}

int SetCtrlVal(int panel, int control, const char *text) {
    Control *c = writeControl(panel, control);
    if (!c) return UIE_BAD_PANEL;
    if (c->items.empty()) {
        c->text = text;
        return 0;
    }
    return selectFirst(*c, [&](const FakeItem &item) { return item.text == text; });
}

int SetActiveCtrl(int panel, int control) {
    Panel *p = findPanel(panel);
    if (!p) return UIE_BAD_PANEL;
    p->active = control;
    return 0;
}

int SetCtrlAttribute(int panel, int control, int attribute, const char *value) {
    Control *c = writeControl(panel, control);
    if (!c) return UIE_BAD_PANEL;
    if (attribute != ATTR_TOOLTIP_TEXT) return UIE_BAD_TYPE;
    c->tooltip = value;
    return 0;
}

int GetCtrlIndex(int panel, int control, int *index) {
    int error = 0;
    Control *c = findControl(panel, control, &error);
    if (!c) return error;
    *index = c->items.empty() ? -1 : c->selected;
    return 0;
}

int SetCtrlIndex(int panel, int control, int index) {
    int error = 0;
    Control *c = findControl(panel, control, &error);
    if (!c) return error;
    if (index < 0 || index >= int(c->items.size())) return UIE_BAD_INDEX;
    c->selected = index;
    return 0;
}

int GetLabelFromIndexText(int panel, int control, int index, char *label, int labelSize) {
    int error = 0;
    Control *c = findControl(panel, control, &error);
    if (!c) return error;
    if (index < 0 || index >= int(c->items.size())) return UIE_BAD_INDEX;
    copyCut(c->items[size_t(index)].label, label, labelSize);
    return 0;
}

int GetNumListItems(int panel, int control, int *count) {
    int error = 0;
    Control *c = findControl(panel, control, &error);
    if (!c) return error;
    *count = int(c->items.size());
    return 0;
}

// The selection stays on its index, moved back onto the last item if that is gone.
int DeleteListItem(int panel, int control, int index, int count) {
    int error = 0;
    Control *c = findControl(panel, control, &error);
    if (!c) return error;
    const int size = int(c->items.size());
    if (index < 0 || index >= size) return UIE_BAD_INDEX;
    const int end = count < 0 ? size : std::min(size, index + count);
    c->items.erase(c->items.begin() + index, c->items.begin() + end);
    c->selected = std::min(c->selected, int(c->items.size()) - 1);
    return 0;
}

int InsertListItem(int panel, int control, int index, const char *label, int value) {
    Control *c = writeControl(panel, control);
    if (!c) return UIE_BAD_PANEL;
    const int size = int(c->items.size());
    if (index == -1) index = size;
    if (index < 0 || index > size) return UIE_BAD_INDEX;
    c->items.insert(c->items.begin() + index, FakeItem{label, value, ""});
    if (size == 0) c->selected = 0;
    return 0;
}

int ResetTextBox(int panel, int control, const char *text) {
    Control *c = writeControl(panel, control);
    if (!c) return UIE_BAD_PANEL;
    c->text = text;
    return 0;
}

int GetPanelAttributeText(int panel, int attribute, char *value, int valueSize) {
    Panel *p = findPanel(panel);
    if (!p) return UIE_BAD_PANEL;
    if (attribute != ATTR_TITLE) return UIE_BAD_TYPE;
    copyCut(p->title, value, valueSize);
    return 0;
}

int SetPanelAttribute(int panel, int attribute, const char *value) {
    Panel *p = findPanel(panel);
    if (!p) return UIE_BAD_PANEL;
    if (attribute != ATTR_TITLE) return UIE_BAD_TYPE;
    p->title = value;
    return 0;
}

int SuspendTimerCallbacks(void) {
    ui.suspended = true;
    return 0;
}

int ResumeTimerCallbacks(void) {
    ui.suspended = false;
    return 0;
}

int MessagePopup(const char *title, const char *message) {
    ui.messages.push_back({title, message});
    return 0;
}
