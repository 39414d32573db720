// Control characters as escapes, for everything printed to a terminal.
#include "display/visible.h"

int put_latin1_visible(const char *text, FILE *out) {
    for (const unsigned char *c = (const unsigned char *)text; *c != '\0'; c++) {
        if (*c < 0x20 || (*c >= 0x7F && *c < 0xA0)) {
            fprintf(out, "\\x%02x", *c);
        } else if (*c < 0x80) {
            putc(*c, out);
        } else {
            putc(0xC0 | (*c >> 6), out);
            putc(0x80 | (*c & 0x3F), out);
        }
    }
    return ferror(out) ? -1 : 0;
}

int put_bytes_visible(const char *text, FILE *out) {
    for (const unsigned char *c = (const unsigned char *)text; *c != '\0'; c++) {
        if (*c < 0x20 || *c == 0x7F)
            fprintf(out, "\\x%02x", *c);
        else
            putc(*c, out);
    }
    return ferror(out) ? -1 : 0;
}
