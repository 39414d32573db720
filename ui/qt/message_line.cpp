// Messages on standard error, shared by both user-interface layers.
#include "ui/qt/message_line.h"

#include "display/visible.h"

#include <QByteArray>

#include <cstdio>

void print_message_line(const char *title, const char *message) {
    QByteArray line = QByteArray(title ? title : "") + ": " + (message ? message : "");
    line.replace('\r', ' ').replace('\n', ' ');
    put_latin1_visible(line.constData(), stderr);
    std::fputc('\n', stderr);
}
