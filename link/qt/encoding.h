// Texts that the serial layer hands to the core, which reads them as Latin-1: device paths,
// program names and messages built from them.
#pragma once

#include <QByteArray>
#include <QString>

#include <string>

// A path or name in the system's bytes as text: UTF-8 where the bytes are valid UTF-8, else one
// character per byte (a path written in Latin-1), so that it shows as it was given.
QString fromSystemBytes(const std::string &bytes);
// Text as Latin-1 for the core. Control characters (below 0x20, 0x7F to 0x9F) become "\xhh",
// characters beyond Latin-1 "\uhhhh" (or "\Uhhhhhhhh"), so that nothing from outside the program
// can act on a terminal and nothing is lost to '?'.
QByteArray toCoreText(const QString &text);
