// Program-wide state of the window: the panel handles that start-up and the callbacks share.
#pragma once

extern int main_panel; // the main panel PANEL, loaded once by start-up
extern int txt_panel;  // the full-text popup TXTPANEL, -1 while not loaded
extern int hlp_panel;  // the help popup HLPPANEL, -1 while not loaded
