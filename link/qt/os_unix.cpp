// The serial layer's operating-system part on Unix: /dev/ttyS names, paths, access checks, the
// lock files of the classic serial programs, host names and socket descriptors.
#include "link/qt/encoding.h"
#include "link/qt/os.h"
#include "link/qt/texts.h"
#include "link/rs232.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One lock file found for a device: its path and the process id it names (0 if none).
struct Lock {
    QString file;
    long pid = 0;
    bool live = false; // that process is running
};

// The process id a lock file holds: as decimal text (the classic "      1234\n", Qt's "1234\n"
// followed by its name and host) or as a 4-byte binary number (the oldest programs' form).
long lockPid(const QByteArray &content) {
    const qsizetype end = content.indexOf('\n');
    const QByteArray firstLine = (end < 0 ? content : content.left(end)).trimmed();
    bool number = false;
    const long pid = firstLine.toLong(&number);
    if (number) return pid;
    if (content.size() == sizeof(int)) {
        int binary = 0;
        std::memcpy(&binary, content.constData(), sizeof binary);
        return binary;
    }
    return 0;
}

bool running(long pid) {
    return pid > 0 && pid <= INT_MAX && (kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// The names under which programs lock a device at path: below /dev with '/' as '_' (Qt, lockdev:
// "LCK..pts_3") and its last part (uucp, picocom: "LCK..ttyUSB0").
void addLockNames(QStringList *names, const std::string &path) {
    const QString device = fromSystemBytes(path);
    QString below = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    below.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const QString &name : {below, QFileInfo(device).fileName()})
        if (!name.isEmpty() && !names->contains(name)) names->append(name);
}

// The first lock file of the device (by the path it was given by or the node it leads to) in
// the directories where serial programs and Qt keep them, a running holder's first.
Lock findLock(const std::string &path, const std::string &device) {
    QStringList names;
    addLockNames(&names, device);
    addLockNames(&names, path);
    const QStringList directories = {"/var/lock",       "/run/lock",         "/var/spool/locks",
                                     "/var/spool/uucp", "/etc/locks",        "/tmp",
                                     "/var/tmp",        "/var/lock/lockdev", QDir::tempPath()};
    Lock found;
    for (const QString &directory : directories) {
        for (const QString &name : names) {
            QFile file(directory + QStringLiteral("/LCK..") + name);
            if (!file.open(QIODevice::ReadOnly)) continue;
            const Lock lock{file.fileName(), lockPid(file.read(128)), false};
            if (running(lock.pid)) return {lock.file, lock.pid, true};
            if (found.file.isEmpty()) found = lock;
        }
    }
    return found;
}

// "in use by picocom (process 1234), which holds the lock file /var/lock/LCK..ttyUSB0; ..."
QString heldBy(const Lock &lock) {
    QFile command(QStringLiteral("/proc/%1/comm").arg(lock.pid));
    QString holder =
        inLanguage(QStringLiteral("einem anderen Programm"), QStringLiteral("another program"));
    if (command.open(QIODevice::ReadOnly))
        holder = fromSystemBytes(command.readAll().trimmed().toStdString());
    return inLanguage(QStringLiteral("belegt von %1 (Prozess %2), der die Sperrdatei %3 "
                                     "h\u00e4lt; dieses Programm beenden und erneut versuchen"),
                      QStringLiteral("in use by %1 (process %2), which holds the lock file %3; "
                                     "close that program and try again"))
        .arg(holder)
        .arg(lock.pid)
        .arg(lock.file);
}

} // namespace

std::string systemDeviceName(int port) {
    return "/dev/ttyS" + std::to_string(port - 1);
}

std::string absoluteDevicePath(const std::string &path) {
    if (path.empty() || path[0] == '/') return path;
    char *folder = getcwd(nullptr, 0);
    if (!folder) return path;
    std::string absolute = folder;
    std::free(folder); // NOLINT(cppcoreguidelines-no-malloc): getcwd allocates with malloc
    const std::string relative = path.compare(0, 2, "./") == 0 ? path.substr(2) : path;
    return absolute + (absolute.back() == '/' ? "" : "/") + relative;
}

std::string resolvedDevicePath(const std::string &path) {
    char *resolved = realpath(path.c_str(), nullptr);
    if (!resolved) return path;
    std::string device = resolved;
    std::free(resolved); // NOLINT(cppcoreguidelines-no-malloc): realpath allocates with malloc
    return device;
}

// Qt takes its lock file itself when it opens a device, but counts a classic lock file, which
// names no program, as left behind and deletes it; so these are looked at first.
int lockedByOther(const std::string &path, const std::string &device, QString *cause) {
    const Lock lock = findLock(path, device);
    if (!lock.live) return 0;
    *cause = heldBy(lock);
    return RS232_BUSY;
}

int diagnoseDevice(const std::string &device, QString *cause) {
    if (access(device.c_str(), F_OK) != 0) {
        *cause = noDevice();
        return RS232_NO_DEVICE;
    }
    if (access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
        *cause = inLanguage(QStringLiteral("Zugriff verweigert; den Benutzer in die Gruppe dialout "
                                           "aufnehmen (sudo usermod -aG dialout $USER) und neu "
                                           "anmelden"),
                            QStringLiteral("permission denied; add the user to the dialout group "
                                           "(sudo usermod -aG dialout $USER) and log in again"));
        return RS232_PERMISSION;
    }
    return 0;
}

// With no lock file the device was opened exclusively by a program that takes none.
QString busyCause(const std::string &path, const std::string &device) {
    const Lock lock = findLock(path, device);
    if (lock.live) return heldBy(lock);
    if (!lock.file.isEmpty())
        return inLanguage(QStringLiteral("gesperrt durch die Sperrdatei %1 eines beendeten "
                                         "Programms; diese Datei l\u00f6schen und erneut "
                                         "versuchen"),
                          QStringLiteral("locked by the lock file %1 of a program that has ended; "
                                         "remove that file and try again"))
            .arg(lock.file);
    return inLanguage(QStringLiteral("belegt von einem anderen Programm, das es exklusiv "
                                     "ge\u00f6ffnet hat; dieses Programm beenden (fuser -v %1 "
                                     "nennt es) und erneut versuchen"),
                      QStringLiteral("in use by another program that opened it exclusively; close "
                                     "that program (fuser -v %1 names it) and try again"))
        .arg(fromSystemBytes(device));
}

int checkDevice(const std::string &device) {
    struct stat node;
    if (stat(device.c_str(), &node) != 0 || !S_ISCHR(node.st_mode)) return RS232_NO_DEVICE;
    if (access(device.c_str(), R_OK | W_OK) != 0) return RS232_PERMISSION;
    // Linux keeps /dev/ttyS nodes for serial ports that the machine does not have; only those
    // that the system lists have a port behind them.
    static const QRegularExpression builtIn(QStringLiteral("^/dev/ttyS[0-9]+$"));
    const QString canonical = fromSystemBytes(resolvedDevicePath(device));
    if (builtIn.match(canonical).hasMatch() && !listedBySystem(canonical)) return RS232_NO_DEVICE;
    return 0;
}

QList<QHostAddress> resolveHost(const QString &host, QString *cause) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const int failure = getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found);
    QList<QHostAddress> addresses;
    for (const addrinfo *entry = found; entry; entry = entry->ai_next) {
        const QHostAddress address(entry->ai_addr);
        if (!address.isNull() && !addresses.contains(address)) addresses << address;
    }
    if (found) freeaddrinfo(found);
    if (failure == EAI_NONAME || (failure == 0 && addresses.isEmpty()))
        *cause =
            inLanguage(QStringLiteral("Rechner %1 unbekannt"), QStringLiteral("unknown host %1"))
                .arg(host);
    else if (failure != 0)
        *cause = inLanguage(QStringLiteral("Rechner %1 nicht aufl\u00f6sbar: %2"),
                            QStringLiteral("cannot look up host %1: %2"))
                     .arg(host, QString::fromLocal8Bit(gai_strerror(failure)));
    return addresses;
}

qintptr duplicateSocket(qintptr descriptor) {
    return fcntl(int(descriptor), F_DUPFD_CLOEXEC, 0);
}

void closeSocket(qintptr descriptor) {
    close(int(descriptor));
}
