// Test helpers for the display formatters: real frames in exactly sized heap buffers, so that
// AddressSanitizer reports any read or write past a frame's terminator.
#pragma once

#include "display/format.h"
#include "link/link.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

// What format_with returns when the display buffer holds no NUL at all.
inline const char *const NO_TERMINATOR = "<no terminator in the display buffer>";

using Formatter = int (*)(char *frame, char *display, int mode);

// The frame that create_framing builds for command, with its terminator and nothing behind it.
inline std::vector<char> exact_frame(const std::string &command, int address = 1) {
    char built[FRAME_BUFFER_SIZE];
    int length = create_framing(command.c_str(), built, address);
    return std::vector<char>(built, built + length + 1);
}

// Raw bytes (no NUL among them) plus a terminator, for frames create_framing never builds.
inline std::vector<char> exact_bytes(const std::string &bytes) {
    std::vector<char> frame(bytes.begin(), bytes.end());
    frame.push_back('\0');
    return frame;
}

// Runs formatter on frame (edited in place, as the formatters do) in language and returns the
// display text. The display buffer is exactly DISPLAY_BUFFER_SIZE bytes and starts full of
// junk, so a missing terminator or stale text shows.
inline std::string format_with(Formatter formatter, std::vector<char> &frame, int mode,
                               int language) {
    std::vector<char> display(DISPLAY_BUFFER_SIZE, 'Z');
    Fremdsprache = language;
    formatter(frame.data(), display.data(), mode);
    Fremdsprache = 0;
    const char *end = static_cast<const char *>(memchr(display.data(), '\0', display.size()));
    if (end == nullptr) return NO_TERMINATOR;
    return std::string(display.data(), (size_t)(end - display.data()));
}

// The display text of the frame of command, sent (request) or received (response), in mode 2.
inline std::string request_text(const std::string &command, int language) {
    std::vector<char> frame = exact_frame(command);
    return format_with(format_sendbuffer, frame, MODE_INTERPRETED, language);
}
inline std::string response_text(const std::string &response, int language) {
    std::vector<char> frame = exact_frame(response);
    return format_with(format_receivebuffer, frame, MODE_INTERPRETED, language);
}

enum { GERMAN = 0, ENGLISH = 1 };

// One row of a sentence table: a payload and its German and English sentence.
struct Sentence {
    const char *payload;
    const char *german;
    const char *english;
};

// Expects both sentences of row from text (request_text or response_text).
inline void expect_sentences(std::string (*text)(const std::string &, int), const Sentence &row) {
    EXPECT_EQ(text(row.payload, GERMAN), row.german) << "payload " << row.payload;
    EXPECT_EQ(text(row.payload, ENGLISH), row.english) << "payload " << row.payload;
}
