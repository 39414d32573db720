// The user-interface operations the program takes from its platform layer.
//
// The core calls only what is listed here; ui/qt/ implements it over Qt Widgets and
// tests may link a fake instead. Every char * that crosses this header is 8-bit Latin-1 text.
// Panel handles are positive integers; control ids are those of the panel files (ui/ascii.h).
// Unless said otherwise an operation returns 0 on success and a negative UIE_* code on failure.
#pragma once

// Event codes delivered to callbacks.
enum {
    EVENT_COMMIT = 1,      // ring/toggle/button change, Enter or double-click on a list item,
                           // Esc, double-click or window close on a popup's text box
    EVENT_KEYPRESS = 7,    // key in a text field; eventData1 holds the key code
    EVENT_TIMER_TICK = 15, // tick of a timer control
};

// Key codes in eventData1 of EVENT_KEYPRESS: Latin-1 characters carry their own code,
// special keys a code of 0x0100 and above.
enum {
    VAL_ENTER_VKEY = 0x0500,
    VAL_ESC_VKEY = 0x0600,
};

// Attributes: ATTR_TITLE of a panel (GetPanelAttribute / SetPanelAttribute), ATTR_TOOLTIP_TEXT
// of a control (SetCtrlAttribute).
enum {
    ATTR_TITLE = 1,
    ATTR_TOOLTIP_TEXT = 2,
};

// Failure codes.
enum {
    UIE_BAD_PANEL = -1,   // no panel with that handle
    UIE_BAD_CONTROL = -2, // no control with that id on the panel
    UIE_BAD_TYPE = -3,    // the control does not hold that kind of value
    UIE_BAD_INDEX = -4,   // item index out of range
    UIE_NO_FILE = -5,     // LoadPanel: unknown panel file or resource id
    UIE_NOT_INITIALISED = -6,
};

typedef int (*CtrlCallbackPtr)(int panel, int control, int event, void *callbackData,
                               int eventData1, int eventData2);

// One entry of the table that binds the callback names in the panel files to functions.
struct CallbackBinding {
    const char *name;
    CtrlCallbackPtr function;
};

enum {
    EXIT_NO_WINDOW = 255, // the status of a program whose window cannot be set up
};

// Prepares the layer (creates the application object); nonzero on success, 0 after a message on
// stderr if it cannot run (no display named). When the display named cannot be opened (it cannot
// be reached, or the platform plugin chosen does not exist or fails) it says so on stderr and
// ends the program with EXIT_NO_WINDOW, where Qt itself would abort it.
int InitCVIRTE(void *hInstance, char *argv[], void *reserved);
// Makes the table of callbacks that LoadPanel binds by name; names missing from it stay unbound.
int SetCallbackTable(const CallbackBinding *table, int count);

// Creates a panel of a panel file ("ascii.uir", "ascii_e.uir") with every control at its
// default; parent 0 makes it top-level. Returns the new handle, or a negative code.
int LoadPanel(int parentPanel, const char *fileName, int panelResourceId);
// Makes the panel visible.
int DisplayPanel(int panel);
// Shows the panel as a modal popup: operator input goes only to it until it is discarded.
int InstallPopup(int panel);
// Removes the panel from the screen and destroys it; the handle is invalid afterwards.
int DiscardPanel(int panel);

// Runs the event loop, one callback at a time, until QuitUserInterface; returns its code.
int RunUserInterface(void);
// Makes RunUserInterface return once the running callback has returned.
int QuitUserInterface(int returnCode);

// Reads an integer value (numeric field, toggle, LED, ring or slide with integer values).
int GetCtrlVal(int panel, int control, int *value);
// Reads a text value (text field, ring with text values) into text, at most textSize - 1 bytes
// and a terminator; a longer value is cut.
int GetCtrlValText(int panel, int control, char *text, int textSize);
template <int N>
int GetCtrlVal(int panel, int control, char (&text)[N]) {
    return GetCtrlValText(panel, control, text, N);
}
// Sets an integer value; a numeric field clamps it into its range.
int SetCtrlVal(int panel, int control, int value);
// Sets a text value; a text field cuts it to its maximum length.
int SetCtrlVal(int panel, int control, const char *text);
// Gives the control the input focus.
int SetActiveCtrl(int panel, int control);
// Sets a text attribute of a control: ATTR_TOOLTIP_TEXT, the text shown while the pointer rests
// on it (lines split by '\n'; "" shows none).
int SetCtrlAttribute(int panel, int control, int attribute, const char *value);

// Stores the index of the selected item of a list or ring (-1 if none is selected).
int GetCtrlIndex(int panel, int control, int *index);
// Selects the item at the index.
int SetCtrlIndex(int panel, int control, int index);
// Copies the label of the item at the index into label, cut to labelSize - 1 bytes.
int GetLabelFromIndexText(int panel, int control, int index, char *label, int labelSize);
template <int N>
int GetLabelFromIndex(int panel, int control, int index, char (&label)[N]) {
    return GetLabelFromIndexText(panel, control, index, label, N);
}
// Stores the number of items of a list or ring.
int GetNumListItems(int panel, int control, int *count);
// Deletes count items from index on; count -1 deletes to the end.
int DeleteListItem(int panel, int control, int index, int count);
// Inserts an item with a label and an integer value at the index (0 is the top, -1 the end). A
// list shows the label's control characters as symbols; GetLabelFromIndex gives it back as given.
int InsertListItem(int panel, int control, int index, const char *label, int value);

// Replaces the whole content of a text box; it shows control characters (line feeds too) as
// symbols, as a list does.
int ResetTextBox(int panel, int control, const char *text);

// Reads a text attribute of a panel into value, cut to valueSize - 1 bytes.
int GetPanelAttributeText(int panel, int attribute, char *value, int valueSize);
template <int N>
int GetPanelAttribute(int panel, int attribute, char (&value)[N]) {
    return GetPanelAttributeText(panel, attribute, value, N);
}
// Sets a text attribute of a panel.
int SetPanelAttribute(int panel, int attribute, const char *value);

// Stop and restart the delivery of timer ticks; the timers themselves keep running.
int SuspendTimerCallbacks(void);
int ResumeTimerCallbacks(void);

// Shows a modal message box and returns when the operator has dismissed it.
int MessagePopup(const char *title, const char *message);
