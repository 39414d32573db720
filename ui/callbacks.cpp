// The callbacks that run no exchange: port hint, presets, cyclic sending, quitting and the two
// popups.
#include "ui/callbacks.h"
#include "display/format.h"
#include "ui/ascii.h"
#include "ui/ports.h"
#include "ui/program.h"
#include "ui/userint.h"

const char *panel_file(void) {
    return Fremdsprache ? "ascii_e.uir" : "ascii.uir";
}

int show_port_hint(void) {
    char hint[512];
    int port = 0;

    if (GetCtrlVal(main_panel, RING_COM, &port) < 0) return 0;
    port_hint(port, hint, sizeof hint);
    SetCtrlAttribute(main_panel, RING_COM, ATTR_TOOLTIP_TEXT, hint);
    return 0;
}

// The port ring is read afresh at every exchange; a new selection only updates its tooltip,
// which tells the operator which device the port name opens.
int COM_PORT(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) show_port_hint();
    return 0;
}

int COMMAND(int, int, int event, void *, int, int) {
    char command[512];

    if (event != EVENT_COMMIT) return 0;
    GetCtrlVal(main_panel, AUSWAHL, command);
    SetActiveCtrl(main_panel, SEND_STRING);
    SetCtrlVal(main_panel, SEND_STRING, command);
    return 0;
}

int ON_OFF(int, int, int event, void *, int, int) {
    int on = 0;

    if (event != EVENT_COMMIT) return 0;
    GetCtrlVal(main_panel, TOGGLEBUTTON, &on);
    if (on)
        ResumeTimerCallbacks();
    else
        SuspendTimerCallbacks();
    return 0;
}

int QUIT(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) QuitUserInterface(0);
    return 0;
}

// Shows the selected entry of the history that committed. The buffer holds a whole display
// text, so a long entry is shown whole; with nothing selected the popup shows an empty text.
int FullText(int, int control, int event, void *, int, int) {
    char entry[DISPLAY_BUFFER_SIZE];
    int index = -1;

    if (event != EVENT_COMMIT) return 0;
    if (txt_panel == -1) txt_panel = LoadPanel(main_panel, panel_file(), TXTPANEL);
    InstallPopup(txt_panel);
    entry[0] = '\0';
    if (GetCtrlIndex(main_panel, control, &index) < 0 || index < 0 ||
        GetLabelFromIndex(main_panel, control, index, entry) < 0)
        entry[0] = '\0';
    ResetTextBox(txt_panel, TEXTBOX, entry);
    return 0;
}

int CloseText(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    DiscardPanel(txt_panel);
    txt_panel = -1;
    return 0;
}

int Help(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (hlp_panel == -1) hlp_panel = LoadPanel(0, panel_file(), HLPPANEL);
    InstallPopup(hlp_panel);
    return 0;
}

int CloseHelp(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    DiscardPanel(hlp_panel);
    hlp_panel = -1;
    return 0;
}
