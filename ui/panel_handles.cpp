// The panel handles: main_panel is set once by start-up (or by a test that loads a panel), the
// popups' by the callbacks that load and discard them.
#include "ui/panel_handles.h"

int main_panel = 0;
int txt_panel = -1;
int hlp_panel = -1;
