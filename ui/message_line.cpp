// Messages on standard error, for runs that show no box.
#include "ui/message_line.h"

#include "display/visible.h"

#include <cstdio>
#include <string>

void print_message_line(const char *title, const char *message) {
    std::string line = std::string(title ? title : "") + ": " + (message ? message : "");
    for (char &c : line)
        if (c == '\r' || c == '\n') c = ' ';
    put_latin1_visible(line.c_str(), stderr);
    std::fputc('\n', stderr);
}
