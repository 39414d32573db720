// kelvra-ascii, the command users type: it runs what needs no window itself, on Qt Core, Qt
// Network and Qt SerialPort alone (kelvra_userint_headless), and hands a run with a window over to
// kelvra-ascii-window (ui/main.cpp), which loads Qt Widgets.
#include "ui/command_line.h"
#include "ui/options.h"
#include "ui/program.h"
#include "ui/standard_streams.h"

int main(int argc, char *argv[]) {
    guard_standard_streams();
    const int options = parse_options(argc, argv);
    if (options != OPTIONS_CONTINUE) return options;
    if (const CommandLineExchange *request = command_line_exchange())
        return run_without_window(argv, request);
    return start_window_program(argv);
}
