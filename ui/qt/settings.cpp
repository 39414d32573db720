// The settings file of the window: opened once per run, checked before it is trusted, and never
// written over when it could not be read.
#include "ui/qt/settings.h"

#include "display/visible.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>

#include <cstdio>
#include <memory>

namespace {

constexpr qint64 LARGEST_FILE = 1 << 20; // far more than the window ever writes

std::unique_ptr<QSettings> store; // null while the file is not in use
QVariantMap setThisRun;

// One line on stderr: "kelvra-ascii: " and the text, its control characters as escapes.
void tell(const QString &text) {
    std::fputs("kelvra-ascii: ", stderr);
    put_bytes_visible(text.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}

// Why the file at path cannot be trusted, or an empty text when it can (also when there is
// none yet). It is looked at before QSettings reads it, which would wait for ever on a pipe.
QString damage(const QString &path) {
    const QFileInfo file(path);
    if (!file.exists()) return QString();
    if (file.isDir()) return QStringLiteral("it is a folder");
    if (!file.isFile()) return QStringLiteral("it is not a regular file");
    if (file.size() > LARGEST_FILE) return QStringLiteral("it is larger than 1 MiB");
    QFile reader(path);
    if (!reader.open(QIODevice::ReadOnly)) return reader.errorString();
    const QByteArray bytes = reader.read(LARGEST_FILE);
    if (reader.error() != QFileDevice::NoError) return reader.errorString();
    QStringDecoder utf8(QStringDecoder::Utf8);
    (void)utf8.decode(bytes);
    if (bytes.contains('\0') || utf8.hasError()) return QStringLiteral("it is not text");
    return QString();
}

} // namespace

void Settings::open(bool use) {
    store.reset();
    setThisRun.clear();
    if (!use) return;
    const QString path = fileName();
    QString cause = damage(path);
    auto opened = std::make_unique<QSettings>(path, QSettings::IniFormat);
    if (cause.isEmpty() && opened->status() == QSettings::FormatError)
        cause = QStringLiteral("a line is neither a [section] nor a key=value");
    else if (cause.isEmpty() && opened->status() != QSettings::NoError)
        cause = QStringLiteral("it cannot be read");
    if (!cause.isEmpty()) {
        tell(QStringLiteral("ignoring the settings file %1: %2").arg(path, cause));
        return; // nothing of it is used, and nothing is written over it
    }
    store = std::move(opened);
}

void Settings::close() {
    if (!store) return;
    store->sync();
    if (store->status() != QSettings::NoError)
        tell(QStringLiteral("cannot save the settings file %1").arg(store->fileName()));
    store.reset();
}

bool Settings::inUse() {
    return store != nullptr;
}

QVariant Settings::value(const QString &key, const QVariant &fallback) {
    if (const auto set = setThisRun.constFind(key); set != setThisRun.cend()) return *set;
    return store ? store->value(key, fallback) : fallback;
}

void Settings::setValue(const QString &key, const QVariant &value) {
    setThisRun.insert(key, value);
    if (store) store->setValue(key, value);
}

QString Settings::folder(const QString &dialog, const QString &fallback) {
    const QString remembered = value(QStringLiteral("folders/") + dialog).toString();
    return remembered.isEmpty() ? fallback : remembered;
}

void Settings::rememberFolder(const QString &dialog, const QString &file) {
    setValue(QStringLiteral("folders/") + dialog, QFileInfo(file).absolutePath());
}

QString Settings::fileName() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/kelvra/kelvra-ascii.conf");
}
