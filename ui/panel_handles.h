// The handles of the loaded panels, which start-up, the callbacks and the port access share.
// Panel and control ids are in ui/ascii.h.
#pragma once

extern int main_panel; // the main panel PANEL, loaded once by start-up
extern int txt_panel;  // the full-text popup TXTPANEL, -1 while not loaded
extern int hlp_panel;  // the help popup HLPPANEL, -1 while not loaded
