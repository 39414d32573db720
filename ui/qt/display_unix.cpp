// X11 and Wayland desktops name their display in the environment.
#include "ui/qt/display.h"

#include <QtGlobal>

#include <cstdio>

bool displayAvailable() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return true;
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    std::fputs("kelvra-ascii: no display (DISPLAY is not set); use --send for a run without a "
               "window\n",
               stderr);
    return false;
}
