// Texts for the core: Latin-1, with escapes for what it cannot or must not carry.
#include "link/qt/encoding.h"

#include <QByteArrayView>
#include <QList>

#include <cstdio>

namespace {

// "\x1b", "\u03a9", "\U0001f600"
QByteArray escape(char32_t c) {
    char text[16];
    if (c <= 0xFF)
        std::snprintf(text, sizeof text, "\\x%02x", unsigned(c));
    else if (c <= 0xFFFF)
        std::snprintf(text, sizeof text, "\\u%04x", unsigned(c));
    else
        std::snprintf(text, sizeof text, "\\U%08x", unsigned(c));
    return text;
}

} // namespace

QString fromSystemBytes(const std::string &bytes) {
    const QByteArrayView view(bytes.data(), qsizetype(bytes.size()));
    return view.isValidUtf8() ? QString::fromUtf8(view) : QString::fromLatin1(view);
}

QByteArray toCoreText(const QString &text) {
    QByteArray latin1;
    latin1.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c > 0xFF)
            latin1 += escape(c);
        else
            latin1 += char(c);
    }
    return latin1;
}
