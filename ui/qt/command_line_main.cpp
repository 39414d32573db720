// kelvra-ascii, the command users type: it runs what needs no window itself, on Qt Core, Qt
// Network and Qt SerialPort alone, and hands a run with a window over to kelvra-ascii-window
// (ui/main.cpp), which loads Qt Widgets.
#include "display/visible.h"
#include "ui/command_line.h"
#include "ui/options.h"
#include "ui/program.h"
#include "ui/standard_streams.h"

#include <QCoreApplication>

#include <clocale>
#include <cstdio>

// Qt's own warnings would mix with the program's lines on stderr; only its critical and fatal
// messages get through.
static void quiet_messages(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type != QtCriticalMsg && type != QtFatalMsg) return;
    std::fputs("kelvra-ascii: ", stderr);
    put_bytes_visible(message.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}

int main(int argc, char *argv[]) {
    guard_standard_streams();
    const int options = parse_options(argc, argv);
    if (options != OPTIONS_CONTINUE) return options;
    const CommandLineExchange *request = command_line_exchange();
    if (!request) return start_window_program(argv);

    qInstallMessageHandler(quiet_messages);
    QCoreApplication application(argc, argv); // the serial layer's objects need it
    // QCoreApplication sets the whole C locale from the system's; the formatters' printf and atof
    // need the decimal point whatever the operator's language.
    (void)std::setlocale(LC_NUMERIC, "C");
    return run_without_window(request);
}
