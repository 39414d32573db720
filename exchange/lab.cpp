// The lab's list of chambers.
#include "exchange/lab.h"

#include "link/com_name.h"
#include "link/link.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

void lab_chamber_init(LabChamber *chamber, int port, int address) {
    chamber->name[0] = '\0';
    chamber->port = port;
    chamber->address = address;
    chamber->commands = 1;
    std::snprintf(chamber->command[0], LAB_COMMAND_SIZE, "A0");
    chamber->intervalMs = LAB_DEFAULT_INTERVAL_MS;
}

int lab_command_valid(const char *text) {
    const size_t length = std::strlen(text);
    return length > 0 && length < LAB_COMMAND_SIZE && command_text_printable(text, int(length));
}

namespace {

// [begin, end) as a terminated text, or false when it does not fit.
bool cut(const char *begin, const char *end, char *out, size_t size) {
    const size_t length = size_t(end - begin);
    if (length >= size) return false;
    std::memcpy(out, begin, length);
    out[length] = '\0';
    return true;
}

int refuse(char *error, int size, const char *text, const char *why) {
    std::snprintf(error, (size_t)size, "%s: %s", text, why);
    return -1;
}

} // namespace

int lab_parse_chamber(const char *text, LabChamber *chamber, char *error, int size) {
    const char *colon = std::strchr(text, ':');
    if (!colon) return refuse(error, size, text, "expected PORT:ADDRESS[:COMMAND,...]");
    const int port = parse_com_name(text, size_t(colon - text));
    if (port == 0) return refuse(error, size, text, "the port must be com1 to com20");
    const char *addressEnd = std::strchr(colon + 1, ':');
    if (!addressEnd) addressEnd = colon + 1 + std::strlen(colon + 1);
    char digits[4];
    int address = 0;
    bool number = cut(colon + 1, addressEnd, digits, sizeof digits) && digits[0] != '\0';
    for (const char *d = digits; number && *d != '\0'; d++) {
        number = *d >= '0' && *d <= '9';
        address = address * 10 + (*d - '0');
    }
    if (!number || address < 1 || address > 32)
        return refuse(error, size, text, "the chamber address must be 1 to 32");
    lab_chamber_init(chamber, port, address);
    if (*addressEnd == '\0') return 0;

    chamber->commands = 0;
    for (const char *from = addressEnd + 1;;) {
        const char *comma = std::strchr(from, ',');
        const char *end = comma ? comma : from + std::strlen(from);
        if (chamber->commands == LAB_COMMANDS)
            return refuse(error, size, text, "at most 8 commands per chamber");
        char *command = chamber->command[chamber->commands];
        if (!cut(from, end, command, LAB_COMMAND_SIZE) || !lab_command_valid(command))
            return refuse(error, size, text,
                          "each command must be 1 to 63 printable ASCII characters");
        chamber->commands++;
        if (!comma) return 0;
        from = comma + 1;
    }
}

void lab_chamber_label(const LabChamber *chamber, char *label, int size) {
    if (chamber->name[0] != '\0')
        std::snprintf(label, (size_t)size, "%s (com%d:%d)", chamber->name, chamber->port,
                      chamber->address);
    else
        std::snprintf(label, (size_t)size, "com%d:%d", chamber->port, chamber->address);
}

void lab_clear(Lab *lab) {
    lab->count = 0;
}

int lab_find(const Lab *lab, int port, int address) {
    for (int i = 0; i < lab->count; i++)
        if (lab->chamber[i].port == port && lab->chamber[i].address == address) return i;
    return -1;
}

int lab_add(Lab *lab, const LabChamber *chamber) {
    if (lab->count == LAB_MAX_CHAMBERS || lab_find(lab, chamber->port, chamber->address) >= 0)
        return -1;
    lab->chamber[lab->count] = *chamber;
    return lab->count++;
}

int lab_remove(Lab *lab, int index) {
    if (index < 0 || index >= lab->count) return -1;
    std::memmove(&lab->chamber[index], &lab->chamber[index + 1],
                 sizeof(LabChamber) * size_t(lab->count - index - 1));
    lab->count--;
    return 0;
}
