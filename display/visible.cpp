// Control characters as escapes, for everything printed to a terminal. A failed write shows in
// ferror, which each function returns at its end.
#include "display/visible.h"

int put_latin1_visible(const char *text, FILE *out) {
    for (const auto *c = reinterpret_cast<const unsigned char *>(text); *c != '\0'; c++) {
        if (*c < 0x20 || (*c >= 0x7F && *c < 0xA0)) {
            (void)fprintf(out, "\\x%02x", *c);
        } else if (*c < 0x80) {
            (void)putc(*c, out);
        } else {
            (void)putc(0xC0 | (*c >> 6), out);
            (void)putc(0x80 | (*c & 0x3F), out);
        }
    }
    return ferror(out) ? -1 : 0;
}

int put_bytes_visible(const char *text, FILE *out) {
    for (const auto *c = reinterpret_cast<const unsigned char *>(text); *c != '\0'; c++) {
        if (*c < 0x20 || *c == 0x7F)
            (void)fprintf(out, "\\x%02x", *c);
        else
            (void)putc(*c, out);
    }
    return ferror(out) ? -1 : 0;
}
