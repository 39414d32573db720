// Windows and macOS: the desktop is the system's own and always there.
#include "ui/qt/display.h"

bool displayAvailable() {
    return true;
}
