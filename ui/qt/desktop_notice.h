// A desktop notification: a title and a line that the desktop shows beside the window, also
// while it is covered. Where the desktop offers none, nothing is shown.
#pragma once

#include <QString>

void show_desktop_notice(const QString &title, const QString &text);
