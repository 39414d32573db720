// The runs without a window: the log file if asked for, the main panel loaded unseen, then a
// scan, polling or one exchange.
#include "link/rs232.h"
#include "ui/ascii.h"
#include "ui/command_line.h"
#include "ui/options.h"
#include "ui/program.h"
#include "ui/publishing.h"
#include "ui/userint.h"

int run_without_window(char *argv[], const CommandLineExchange *request) {
    SetRS232Language(Fremdsprache); // the port's messages in the --lang language
    if (const char *log = log_file_option())
        if (const int status = open_command_line_log(log); status != 0) return status;
    if (const int status = start_command_line_publishing(); status != 0) return status;
    prepare_command_line_exchange();
    if (InitCVIRTE(0, argv, 0) == 0) return -1;
    SetCallbackTable(ascii_callbacks, ascii_callback_count);
    if ((main_panel = LoadPanel(0, panel_file(), PANEL)) < 0) return -1;
    if (request->scan) return finish_command_line_publishing(run_command_line_scan(request));
    if (request->repeat >= 0 || request->timestamps)
        return finish_command_line_publishing(run_command_line_polling(request));
    return finish_command_line_publishing(run_command_line_exchange(request));
}
