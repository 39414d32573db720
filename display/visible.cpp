// Control characters as escapes, for everything printed to a terminal or published. A failed
// write shows in ferror, which each function returns at its end.
#include "display/visible.h"

#include <cstring>

int latin1_visible_char(unsigned char c, char out[5]) {
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
        static const char digits[] = "0123456789abcdef";
        const char escape[] = {'\\', 'x', digits[c >> 4], digits[c & 0xF], '\0'};
        std::memcpy(out, escape, sizeof escape);
        return 4;
    }
    if (c < 0x80) {
        out[0] = char(c);
        out[1] = '\0';
        return 1;
    }
    out[0] = char(0xC0 | (c >> 6));
    out[1] = char(0x80 | (c & 0x3F));
    out[2] = '\0';
    return 2;
}

int put_latin1_visible(const char *text, FILE *out) {
    char visible[5];
    for (const auto *c = reinterpret_cast<const unsigned char *>(text); *c != '\0'; c++) {
        const int length = latin1_visible_char(*c, visible);
        (void)fwrite(visible, 1, size_t(length), out);
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
