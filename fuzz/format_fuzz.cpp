// Fuzz target: one formatter (format_sendbuffer when FUZZ_SEND is 1, else format_receivebuffer)
// fed any frame in any display mode and language.
//
// Input: byte 0 chooses the mode (low two bits 0 to 2: that mode; 3: the byte itself as a signed
// number, never a valid mode), byte 1 the language (Fremdsprache is the byte as a signed number),
// byte 2 the frame's origin: bit 0 clear, the other bytes are the frame itself; set, they are a
// command text that create_framing frames for the address in bits 1 to 7. NUL bytes are
// dropped, and the frame is cut to fit a frame buffer.
//
// Checked: the display text is terminated inside its buffer; modes 0 and 1 show exactly the
// frame's bytes and leave the frame alone; mode 2 changes nothing but the payload's bit 7,
// bounding NULs and the checksum, shows nothing for a letter without a sentence, the payload
// for the letters shown whole, and at most 700 characters; English text is 7-bit, German text
// has no 8-bit byte but its umlauts; every nonzero language gives the English text; any other
// mode gives an empty text. The frame lies in a buffer that ends at its terminator, so a read
// past it stops the sanitizer.
#include "display/format.h"
#include "fuzz/check.h"
#include "link/link.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#if FUZZ_SEND
#define FORMAT format_sendbuffer
#else
#define FORMAT format_receivebuffer
#endif

namespace {

constexpr size_t LONGEST_SENTENCE = 700;

std::string without_nul(const uint8_t *data, size_t size, size_t limit) {
    std::string text;
    for (size_t i = 0; i < size && text.size() < limit; i++)
        if (data[i] != 0) text += char(data[i]);
    return text;
}

std::string frame_from(const uint8_t *data, size_t size) {
    if (size < 3) return "";
    if (!(data[2] & 1)) return without_nul(data + 3, size - 3, FRAME_BUFFER_SIZE - 1);
    const std::string command = without_nul(data + 3, size - 3, MAX_COMMAND_LENGTH);
    char built[FRAME_BUFFER_SIZE];
    const int length = create_framing(command.c_str(), built, data[2] >> 1);
    return std::string(built, size_t(length));
}

struct Shown {
    std::string text;
    std::string frameAfter; // the frame buffer after the call, terminator included
};

// Formats frame in a buffer that holds exactly it and its terminator.
Shown format(const std::string &frame, int mode, int language) {
    auto buffer = std::make_unique<char[]>(frame.size() + 1);
    memcpy(buffer.get(), frame.c_str(), frame.size() + 1);
    auto display = std::make_unique<char[]>(DISPLAY_BUFFER_SIZE);
    std::fill_n(display.get(), DISPLAY_BUFFER_SIZE, '\xA5');
    Fremdsprache = language;
    FUZZ_CHECK(FORMAT(buffer.get(), display.get(), mode) == 0);
    const char *end = static_cast<const char *>(memchr(display.get(), '\0', DISPLAY_BUFFER_SIZE));
    FUZZ_CHECK(end != nullptr);
    return {std::string(display.get(), size_t(end - display.get())),
            std::string(buffer.get(), frame.size() + 1)};
}

// What mode 1 shows: the payload with bit 7 cleared, up to a byte that clears to NUL.
std::string payload_view(const std::string &frame) {
    std::string text;
    for (size_t i = 2; i + 2 < frame.size() && (frame[i] & 0x7F) != 0; i++)
        text += char(frame[i] & 0x7F);
    return text;
}

std::string hex_view(const std::string &frame) {
    std::string text;
    char group[6];
    for (unsigned char byte : frame) {
        snprintf(group, sizeof group, "0x%02X ", byte);
        text += group;
    }
    return text;
}

// Mode 2 may clear bit 7 of payload bytes, write NULs into the payload, and must write one over
// the checksum; nothing else, and nothing at or past the terminator.
void check_prepared(const std::string &before, const std::string &after) {
    const size_t n = before.size();
    FUZZ_CHECK(after.size() == n + 1 && after[n] == '\0');
    for (size_t i = 0; i < n; i++) {
        const char was = before[i], is = after[i];
        if (n >= 2 && i == n - 2) {
            FUZZ_CHECK(is == '\0');
        } else if (i >= 2 && i + 3 <= n) {
            FUZZ_CHECK(is == (was & 0x7F) || is == '\0');
        } else {
            FUZZ_CHECK(is == was);
        }
    }
}

void check_sentence(const std::string &frame, const Shown &shown) {
    check_prepared(frame, shown.frameAfter);
    FUZZ_CHECK(shown.text.size() <= LONGEST_SENTENCE);
    const char letter = frame.size() > 4 ? char(frame[2] & 0x7F) : '\0';
    if (letter == '\0' || !strchr("AEFHILMOPRSTUadilmopstu", letter))
        FUZZ_CHECK(shown.text.empty());
    else if (strchr("HIMRim", letter))
        FUZZ_CHECK(shown.text == payload_view(frame));
}

void check_language(const std::string &text, int language) {
    for (unsigned char c : text) {
        if (language != 0)
            FUZZ_CHECK(c < 0x80);
        else
            FUZZ_CHECK(c < 0x80 || c == 0xE4 || c == 0xFC); // ä, ü
    }
}

// The byte as a signed number, -128 to 127.
int signed_byte(uint8_t byte) {
    return byte < 0x80 ? byte : byte - 0x100;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3) return 0;
    const int mode = (data[0] & 3) == 3 ? signed_byte(data[0]) : data[0] & 3;
    const int language = signed_byte(data[1]);
    const std::string frame = frame_from(data, size);

    const Shown shown = format(frame, mode, language);
    check_language(shown.text, language);
    switch (mode) {
    case MODE_ALL_BYTES:
        FUZZ_CHECK(shown.text == hex_view(frame));
        FUZZ_CHECK(shown.frameAfter == frame + '\0');
        break;
    case MODE_NO_FRAMING:
        FUZZ_CHECK(shown.text == payload_view(frame));
        FUZZ_CHECK(shown.frameAfter == frame + '\0');
        break;
    case MODE_INTERPRETED: check_sentence(frame, shown); break;
    default:
        FUZZ_CHECK(shown.text.empty());
        FUZZ_CHECK(shown.frameAfter == frame + '\0');
        break;
    }
    if (language != 0 && language != 1) {
        const Shown english = format(frame, mode, 1);
        FUZZ_CHECK(english.text == shown.text && english.frameAfter == shown.frameAfter);
    }
    return 0;
}
