// The frame builder: STX, address | 0x80, each command byte | 0x80, checksum | 0x80, ETX.
#include "link/link.h"

// Each byte goes out with bit 7 set, so a command text holds 7-bit printable characters only.
int command_text_printable(const char *text, int length) {
    for (int i = 0; i < length; i++)
        if (text[i] < ' ' || text[i] > '~') return 0;
    return 1;
}

// A command text longer than MAX_COMMAND_LENGTH is cut to its first MAX_COMMAND_LENGTH bytes,
// so the frame and its terminator always fit the FRAME_BUFFER_SIZE bytes of pcTextToSend.
// Cutting keeps the frame well-formed and the sent history showing exactly what went out; the
// command field never holds more, so only a caller that skips it can reach this.
int create_framing(const char *pcCommand, char *pcTextToSend, int uChamberaddress) {
    unsigned char uChecksum = (unsigned char)uChamberaddress;
    int count = 0;

    pcTextToSend[count++] = STX;
    pcTextToSend[count++] = (char)(uChamberaddress | 0x80);
    for (int i = 0; i < MAX_COMMAND_LENGTH && pcCommand[i] != '\0'; i++) {
        uChecksum ^= (unsigned char)pcCommand[i];
        pcTextToSend[count++] = (char)(pcCommand[i] | 0x80);
    }
    pcTextToSend[count++] = (char)(uChecksum | 0x80);
    pcTextToSend[count++] = ETX;
    pcTextToSend[count] = '\0';
    return count;
}
