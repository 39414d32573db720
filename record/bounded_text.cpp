// Appending to a bounded text.
#include "record/bounded_text.h"

#include <cstdarg>
#include <cstdio>

BoundedText bounded_text(char *buffer, int size) {
    if (size > 0) buffer[0] = '\0';
    return {buffer, size, 0};
}

// NOLINTNEXTLINE(cert-dcl50-cpp): C variadic for the format attribute, which checks every call.
void text_add(BoundedText *text, const char *format, ...) {
    if (text->size <= 0 || text->length >= text->size - 1) return;
    va_list arguments;
    va_start(arguments, format);
    const int room = text->size - text->length;
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): va_start above; the analyzer misreads.
    const int wanted = vsnprintf(text->at + text->length, (size_t)room, format, arguments);
    va_end(arguments);
    if (wanted > 0) text->length += wanted < room ? wanted : room - 1;
}
