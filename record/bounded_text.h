// Text written piece by piece into a caller's buffer: always terminated, cut where the buffer
// ends. No Qt here.
#pragma once

struct BoundedText {
    char *at;
    int size;   // of the buffer
    int length; // written so far, at most size - 1
};

// An empty text in buffer (terminated there when size > 0).
BoundedText bounded_text(char *buffer, int size);
// Appends printf-style; what does not fit is cut.
[[gnu::format(printf, 2, 3)]] void text_add(BoundedText *text, const char *format, ...);
