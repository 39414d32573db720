// The program as a whole: its start-up, the panel file of its language and the callback table.
#pragma once

#include "ui/panel_handles.h"
#include "ui/userint.h"

// The panel file of the configured language: "ascii.uir" or, with Fremdsprache set, "ascii_e.uir".
const char *panel_file(void);

// The window program: reads the options, loads and shows the main panel with the selected preset
// in the command field, and runs the event loop. Returns 0 after QUIT, EXIT_NO_WINDOW (255) if
// the window cannot be set up, or the status of parse_options (ui/options.h) when it ends the
// program at once; EXIT_USAGE for --send or --scan, which kelvra-ascii runs without a window.
int ascii_main(int argc, char *argv[]);
// Hands the run over to the window program, kelvra-ascii-window beside this program or in its
// libexec folder, with the same arguments. Returns only when it cannot, with -1 after a message.
int start_window_program(char *argv[]);

// Gives the port ring of the main panel the port_hint (ui/ports.h) of its selection as tooltip.
int show_port_hint(void);

// The callbacks that LoadPanel binds by the names the panel files give.
extern const CallbackBinding ascii_callbacks[];
extern const int ascii_callback_count;
