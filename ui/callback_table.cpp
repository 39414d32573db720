// The callbacks that the panel files name, bound by LoadPanel. A name missing here stays
// unbound: its control shows and works but starts nothing.
#include "ui/ascii.h"
#include "ui/callbacks.h"
#include "ui/program.h"

const CallbackBinding ascii_callbacks[] = {
    {"COM_PORT", COM_PORT},   {"COMMAND", COMMAND},     {"ON_OFF", ON_OFF},     {"QUIT", QUIT},
    {"SENDEN", SENDEN},       {"TIMER", TIMER},         {"FullText", FullText}, {"Help", Help},
    {"CloseText", CloseText}, {"CloseHelp", CloseHelp},
};
const int ascii_callback_count = sizeof ascii_callbacks / sizeof ascii_callbacks[0];
