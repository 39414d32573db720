// userint.h without widgets, for runs without a window: the same panel files loaded into plain
// data, the same event delivery (dispatch.cpp) and the same timer grid. It needs Qt Core alone,
// so a run from the command line loads neither Qt Gui nor Qt Widgets. With no screen for a box,
// every message goes to stderr. Each control kind answers the operations as its widget does in
// the window (ui/qt/controls.cpp).
#include "ui/qt/dispatch.h"
#include "ui/qt/grid_timer.h"
#include "ui/qt/message_line.h"
#include "ui/qt/uir_files.h"
#include "ui/userint.h"

#include <QCoreApplication>
#include <QJsonArray>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

enum class Kind {
    Numeric,
    Ring,
    RingSlide,
    Toggle,
    Button,
    TextField,
    Led,
    Decoration,
    ListBox,
    TextBox,
    TextMessage,
    Timer,
};

struct Item {
    std::string label; // Latin-1
    bool isText;       // the value is text, else an integer
    int value;
    std::string text;
};

struct Control {
    Kind kind;
    CtrlCallbackPtr callback = nullptr;
    int value = 0, min = 0, max = 0; // numeric field, toggle, LED
    std::string text;                // text field, text box, text message
    size_t maxLength = 32767;        // text field, as a line edit's own limit
    std::vector<Item> items;         // ring, ring slide, list box
    int index = -1;                  // their selected item
    std::unique_ptr<GridTimer> timer;
};

struct Panel {
    int parent = 0;
    std::string title;
    bool shown = false, popup = false;
    int active = 0;
    std::map<int, Control> controls;
};

QCoreApplication *application;
std::map<int, Panel> panels;
int nextHandle = 1;
const CallbackBinding *callbackTable;
int callbackCount;
int messageCount;

std::string latin1(const QString &text) {
    return text.toLatin1().toStdString();
}

// The control kinds of the panel files (read through find_if, which cppcheck does not follow).
const struct {
    // cppcheck-suppress unusedStructMember
    const char *name;
    // cppcheck-suppress unusedStructMember
    Kind kind;
} kinds[] = {
    {"numeric", Kind::Numeric},       {"ring", Kind::Ring},
    {"ring_slide", Kind::RingSlide},  {"toggle", Kind::Toggle},
    {"command_button", Kind::Button}, {"picture_button", Kind::Button},
    {"text_field", Kind::TextField},  {"led", Kind::Led},
    {"decoration", Kind::Decoration}, {"list_box", Kind::ListBox},
    {"text_box", Kind::TextBox},      {"text_message", Kind::TextMessage},
    {"timer", Kind::Timer},
};

CtrlCallbackPtr bindName(const QString &name) {
    if (name.isEmpty()) return nullptr;
    for (int i = 0; i < callbackCount; i++)
        if (name == QLatin1String(callbackTable[i].name)) return callbackTable[i].function;
    return nullptr;
}

// Fills a control from its definition; false for an unknown kind.
bool build(Control &control, const QJsonObject &def, int handle, int id) {
    const QString kind = def["kind"].toString();
    const auto *known = std::find_if(std::begin(kinds), std::end(kinds),
                                     [&kind](const auto &each) { return kind == each.name; });
    if (known == std::end(kinds)) return false;
    control.kind = known->kind;
    control.callback = bindName(def["callback"].toString());
    switch (control.kind) {
    case Kind::Numeric:
        control.min = def["min"].toInt();
        control.max = def["max"].toInt();
        control.value = std::clamp(def["default"].toInt(), control.min, control.max);
        break;
    case Kind::Ring:
    case Kind::RingSlide:
        for (const RingItem &item : ringItems(def)) {
            const bool isText = item.value.typeId() == QMetaType::QString;
            control.items.push_back({latin1(item.label), isText, isText ? 0 : item.value.toInt(),
                                     isText ? latin1(item.value.toString()) : std::string()});
        }
        control.index = def["default"].toInt();
        if (control.index < 0 || control.index >= int(control.items.size()))
            control.index = control.items.empty() ? -1 : 0;
        break;
    case Kind::Toggle:
    case Kind::Led: control.value = def["default"].toInt() != 0; break;
    case Kind::TextField:
        if (def["max_length"].toInt() > 0) control.maxLength = size_t(def["max_length"].toInt());
        control.text = latin1(def["default"].toString()).substr(0, control.maxLength);
        break;
    case Kind::TextBox:
    case Kind::TextMessage: control.text = latin1(panelText(def["default"])); break;
    case Kind::Timer: {
        const CtrlCallbackPtr callback = control.callback;
        control.timer = std::make_unique<GridTimer>(
            def["interval"].toDouble(), def["enabled"].toBool(), [handle, id, callback] {
                dispatch::deliver(handle, id, callback, EVENT_TIMER_TICK, 0);
            });
        break;
    }
    default: break;
    }
    return true;
}

Panel *findPanel(int handle) {
    const auto found = panels.find(handle);
    return found == panels.end() ? nullptr : &found->second;
}

// Looks up a control; on failure *error holds the code to return.
Control *findControl(int panel, int control, int *error) {
    Panel *owner = findPanel(panel);
    Control *found = nullptr;
    if (owner) {
        const auto it = owner->controls.find(control);
        if (it != owner->controls.end()) found = &it->second;
    }
    *error = !owner ? UIE_BAD_PANEL : !found ? UIE_BAD_CONTROL : 0;
    return found;
}

bool hasItems(const Control &c) {
    return c.kind == Kind::Ring || c.kind == Kind::RingSlide || c.kind == Kind::ListBox;
}

// Controls the operator can see: all but the timer.
bool visible(const Control &c) {
    return c.kind != Kind::Timer;
}

bool validIndex(int index, const Control &c) {
    return index >= 0 && index < int(c.items.size());
}

// The selected item of a ring or ring slide, or null.
const Item *current(const Control &c) {
    if ((c.kind != Kind::Ring && c.kind != Kind::RingSlide) || !validIndex(c.index, c))
        return nullptr;
    return &c.items[size_t(c.index)];
}

int copyOut(const std::string &text, char *destination, int size) {
    if (size <= 0) return UIE_BAD_TYPE;
    const size_t length = std::min(text.size(), size_t(size - 1));
    std::memcpy(destination, text.data(), length);
    destination[length] = '\0';
    return 0;
}

// Holds a retired timer until the event loop deletes the holder.
class RetiredTimer : public QObject {
public:
    RetiredTimer(std::unique_ptr<GridTimer> timer, QObject *parent)
        : QObject(parent), m_timer(std::move(timer)) {}

private:
    std::unique_ptr<GridTimer> m_timer;
};

// A panel may be discarded from inside its own timer's tick: the timer stops at once and goes
// once that tick has returned.
void retire(std::unique_ptr<GridTimer> timer) {
    timer->stop();
    (new RetiredTimer(std::move(timer), application))->deleteLater();
}

// Without a window Qt's own warnings would mix with the program's lines on stderr; only its
// critical and fatal messages get through.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "kelvra-ascii: %s\n", message.toLocal8Bit().constData());
}

} // namespace

int InitCVIRTE(void *, char *argv[], void *) {
    if (application) return 1;
    if (QCoreApplication::instance()) {
        application = QCoreApplication::instance();
    } else {
        static int argc = 0;
        static char fallbackName[] = "kelvra-ascii";
        static char *fallback[] = {fallbackName, nullptr};
        if (!argv || !argv[0]) argv = fallback;
        while (argv[argc]) argc++;
        application = new QCoreApplication(argc, argv);
    }
    // QCoreApplication sets the whole C locale from the system's; the formatters' printf and
    // atof need the decimal point whatever the operator's language.
    (void)std::setlocale(LC_NUMERIC, "C");
    return 1;
}

int UseNoDisplay(void) {
    qInstallMessageHandler(quietMessages);
    return 0;
}

int SetCallbackTable(const CallbackBinding *table, int count) {
    callbackTable = table;
    callbackCount = table ? count : 0;
    return 0;
}

int LoadPanel(int parentPanel, const char *fileName, int panelResourceId) {
    if (!application) return UIE_NOT_INITIALISED;
    if (parentPanel != 0 && !findPanel(parentPanel)) return UIE_BAD_PANEL;
    const QJsonDocument *file = parsedPanelFile(fileName);
    if (!file) return UIE_NO_FILE;
    const QJsonObject definition = panelDefinition(*file, panelResourceId);
    if (definition.isEmpty()) return UIE_NO_FILE;

    const int handle = nextHandle;
    Panel panel;
    panel.parent = parentPanel;
    panel.title = latin1(definition["title"].toString());
    const QJsonArray controls = definition["controls"].toArray();
    for (qsizetype i = 0; i < controls.size(); i++) {
        const QJsonObject def = controls[i].toObject();
        const int id = def["id"].toInt();
        if (id != int(i) + 2 || !build(panel.controls[id], def, handle, id)) return UIE_NO_FILE;
    }
    nextHandle++;
    panels.emplace(handle, std::move(panel));
    return handle;
}

int DisplayPanel(int panel) {
    Panel *found = findPanel(panel);
    if (!found) return UIE_BAD_PANEL;
    found->shown = true;
    return 0;
}

int InstallPopup(int panel) {
    Panel *found = findPanel(panel);
    if (!found) return UIE_BAD_PANEL;
    found->shown = found->popup = true;
    return 0;
}

int DiscardPanel(int panel) {
    if (!findPanel(panel)) return UIE_BAD_PANEL;
    // child panels go with their parent, and their timers with them
    std::vector<int> doomed{panel};
    for (size_t i = 0; i < doomed.size(); i++)
        for (const auto &[handle, each] : panels)
            if (each.parent == doomed[i]) doomed.push_back(handle);
    for (const int handle : doomed) {
        for (auto &[id, control] : panels[handle].controls)
            if (control.timer) retire(std::move(control.timer));
        panels.erase(handle);
    }
    return 0;
}

int RunUserInterface(void) {
    if (!application) return UIE_NOT_INITIALISED;
    return dispatch::run();
}

int GetCtrlVal(int panel, int control, int *value) {
    int error;
    const Control *c = findControl(panel, control, &error);
    if (!c) return error;
    if (c->kind == Kind::Numeric || c->kind == Kind::Toggle || c->kind == Kind::Led) {
        *value = c->value;
        return 0;
    }
    const Item *item = current(*c);
    if (!item || item->isText) return UIE_BAD_TYPE;
    *value = item->value;
    return 0;
}

int GetCtrlValText(int panel, int control, char *text, int textSize) {
    int error;
    const Control *c = findControl(panel, control, &error);
    if (!c) return error;
    if (c->kind == Kind::TextField || c->kind == Kind::TextBox || c->kind == Kind::TextMessage)
        return copyOut(c->text, text, textSize);
    const Item *item = current(*c);
    if (!item || !item->isText) return UIE_BAD_TYPE;
    return copyOut(item->text, text, textSize);
}

int SetCtrlVal(int panel, int control, int value) {
    int error;
    Control *c = findControl(panel, control, &error);
    if (!c) return error;
    switch (c->kind) {
    case Kind::Numeric: c->value = std::clamp(value, c->min, c->max); return 0;
    case Kind::Toggle:
    case Kind::Led: c->value = value != 0; return 0;
    case Kind::Ring:
    case Kind::RingSlide:
        for (size_t i = 0; i < c->items.size(); i++) {
            if (!c->items[i].isText && c->items[i].value == value) {
                c->index = int(i);
                return 0;
            }
        }
        return UIE_BAD_INDEX;
    default: return UIE_BAD_TYPE;
    }
}

int SetCtrlVal(int panel, int control, const char *text) {
    int error;
    Control *c = findControl(panel, control, &error);
    if (!c) return error;
    const std::string value = text ? text : "";
    switch (c->kind) {
    case Kind::TextField: c->text = value.substr(0, c->maxLength); return 0;
    case Kind::TextBox:
    case Kind::TextMessage: c->text = value; return 0;
    case Kind::Ring:
        for (size_t i = 0; i < c->items.size(); i++) {
            if (c->items[i].isText && c->items[i].text == value) {
                c->index = int(i);
                return 0;
            }
        }
        return UIE_BAD_INDEX;
    default: return UIE_BAD_TYPE;
    }
}

int SetActiveCtrl(int panel, int control) {
    int error;
    const Control *c = findControl(panel, control, &error);
    if (!c) return error;
    if (!visible(*c)) return UIE_BAD_TYPE;
    findPanel(panel)->active = control;
    return 0;
}

// Tooltips are for a pointer resting on a control; without a screen there is none to show.
int SetCtrlAttribute(int panel, int control, int attribute, const char *) {
    int error;
    const Control *c = findControl(panel, control, &error);
    if (!c) return error;
    return attribute == ATTR_TOOLTIP_TEXT && visible(*c) ? 0 : UIE_BAD_TYPE;
}

int GetCtrlIndex(int panel, int control, int *index) {
    int error;
    const Control *c = findControl(panel, control, &error);
    if (!c) return error;
    if (!hasItems(*c)) return UIE_BAD_TYPE;
    *index = c->index;
    return 0;
}

int SetCtrlIndex(int panel, int control, int index) {
    int error;
    Control *c = findControl(panel, control, &error);
    if (!c) return error;
    if (!hasItems(*c)) return UIE_BAD_TYPE;
    if (!validIndex(index, *c)) return UIE_BAD_INDEX;
    c->index = index;
    return 0;
}

int GetLabelFromIndexText(int panel, int control, int index, char *label, int labelSize) {
    int error;
    const Control *c = findControl(panel, control, &error);
    if (!c) return error;
    if (!hasItems(*c)) return UIE_BAD_TYPE;
    if (!validIndex(index, *c)) return UIE_BAD_INDEX;
    return copyOut(c->items[size_t(index)].label, label, labelSize);
}

int GetNumListItems(int panel, int control, int *count) {
    int error;
    const Control *c = findControl(panel, control, &error);
    if (!c) return error;
    if (!hasItems(*c)) return UIE_BAD_TYPE;
    *count = int(c->items.size());
    return 0;
}

// As in the window, the selection stays on its item; a ring that gets its first item selects it.
int InsertListItem(int panel, int control, int index, const char *label, int value) {
    int error;
    Control *c = findControl(panel, control, &error);
    if (!c) return error;
    if (c->kind != Kind::Ring && c->kind != Kind::ListBox) return UIE_BAD_TYPE;
    if (index == -1) index = int(c->items.size());
    if (index < 0 || index > int(c->items.size())) return UIE_BAD_INDEX;
    c->items.insert(c->items.begin() + index, Item{label ? label : "", false, value, ""});
    if (c->index >= index)
        c->index++;
    else if (c->index < 0 && c->kind == Kind::Ring)
        c->index = 0;
    return 0;
}

// A deleted selection moves, as in the window: a ring's to the item now at its place (or the
// last), a list's to the item above the deleted ones (or else the one below them).
int DeleteListItem(int panel, int control, int index, int count) {
    int error;
    Control *c = findControl(panel, control, &error);
    if (!c) return error;
    if (c->kind != Kind::Ring && c->kind != Kind::ListBox) return UIE_BAD_TYPE;
    if (!validIndex(index, *c)) return UIE_BAD_INDEX;
    const int end =
        count < 0 ? int(c->items.size()) : std::min(int(c->items.size()), index + count);
    c->items.erase(c->items.begin() + index, c->items.begin() + end);
    const int left = int(c->items.size());
    if (c->index >= end)
        c->index -= end - index;
    else if (c->index >= index && c->kind == Kind::Ring)
        c->index = std::min(c->index, left - 1);
    else if (c->index >= index)
        c->index = index > 0 ? index - 1 : left > 0 ? 0 : -1;
    return 0;
}

int ResetTextBox(int panel, int control, const char *text) {
    int error;
    Control *c = findControl(panel, control, &error);
    if (!c) return error;
    if (c->kind != Kind::TextBox) return UIE_BAD_TYPE;
    c->text = text ? text : "";
    return 0;
}

int GetPanelAttributeText(int panel, int attribute, char *value, int valueSize) {
    const Panel *found = findPanel(panel);
    if (!found) return UIE_BAD_PANEL;
    if (attribute != ATTR_TITLE) return UIE_BAD_TYPE;
    return copyOut(found->title, value, valueSize);
}

int SetPanelAttribute(int panel, int attribute, const char *value) {
    Panel *found = findPanel(panel);
    if (!found) return UIE_BAD_PANEL;
    if (attribute != ATTR_TITLE) return UIE_BAD_TYPE;
    found->title = value ? value : "";
    return 0;
}

int CallCtrlCallback(int panel, int control, int event, int eventData1) {
    int error;
    const Control *c = findControl(panel, control, &error);
    if (!c) return error;
    // a program's call, unlike the operator's action, is not kept for later
    if (!dispatch::busy()) dispatch::deliver(panel, control, c->callback, event, eventData1);
    return 0;
}

// "title: message" as one UTF-8 line, whichever output was chosen: there is no screen for a box.
int MessagePopup(const char *title, const char *message) {
    print_message_line(title, message);
    messageCount++;
    return 0;
}

int SetMessagePopupOutput(int output) {
    return output == MESSAGES_IN_BOXES || output == MESSAGES_TO_STDERR ? 0 : UIE_BAD_TYPE;
}

int GetMessagePopupCount(void) {
    return messageCount;
}
