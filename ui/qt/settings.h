// What the window remembers between runs: one settings file (INI) in the desktop's
// configuration folder, $XDG_CONFIG_HOME/kelvra/kelvra-ascii.conf on Linux. Only the window
// uses it; the runs without a window never read or change it.
#pragma once

#include <QString>
#include <QVariant>

class Settings {
public:
    // Opens the settings file for this run. With use false (--no-settings), and when the file is
    // damaged or unreadable, which one line on stderr then says, nothing is read from it and
    // nothing written to it: every value is its default.
    static void open(bool use);
    // Writes what was set to the file and closes it; one line on stderr when it cannot be saved.
    static void close();
    // Whether this run reads and writes the file.
    static bool inUse();
    // The value remembered under key, or fallback. What this run set counts too, also when the
    // file is not in use.
    static QVariant value(const QString &key, const QVariant &fallback = QVariant());
    static void setValue(const QString &key, const QVariant &value);
    // The folder in which the save dialog of that name last saved a file, or fallback.
    static QString folder(const QString &dialog, const QString &fallback = QString());
    // Remembers the folder of the file that the save dialog of that name saved.
    static void rememberFolder(const QString &dialog, const QString &file);
    // Where the file is: the organisation's folder "kelvra" and the file "kelvra-ascii.conf" in
    // the configuration folder.
    static QString fileName();
};
