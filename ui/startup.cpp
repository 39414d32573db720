// Start-up of the window program: options, the main panel in the chosen language, the first
// preset, the log file, the event loop; what the window remembered between runs.
#include "link/rs232.h"
#include "ui/ascii.h"
#include "ui/command_line.h"
#include "ui/options.h"
#include "ui/program.h"
#include "ui/userint.h"
#include "ui/workbench.h"

#include <cstdio>

int ascii_main(int argc, char *argv[]) {
    char command[512];

    const int options = parse_options(argc, argv);
    if (options != OPTIONS_CONTINUE) return options;
    if (command_line_exchange()) { // kelvra-ascii runs these itself and starts no window for them
        std::fputs("kelvra-ascii-window: --send, --scan, --run and --poll are for kelvra-ascii\n",
                   stderr);
        return EXIT_USAGE;
    }
    SetRS232Language(Fremdsprache); // the port's messages in the panel's language
    const char *log = log_file_option();
    if (InitCVIRTE(0, argv, 0) == 0) return EXIT_NO_WINDOW;
    SetCallbackTable(ascii_callbacks, ascii_callback_count);
    if ((main_panel = LoadPanel(0, panel_file(), PANEL)) < 0) return EXIT_NO_WINDOW;
    open_workbench(main_panel);
    restore_window(main_panel, !no_settings_option());
    DisplayPanel(main_panel);
    show_port_hint();
    if (log) record_log(log);
    GetCtrlVal(main_panel, AUSWAHL, command);
    SetCtrlVal(main_panel, SEND_STRING, command);
    RunUserInterface();
    remember_window(main_panel);
    return 0;
}
