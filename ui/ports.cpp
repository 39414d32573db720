// Port assistance: the text of the port ring's tooltip and the listing of --list-ports.
#include "ui/ports.h"

#include "display/format.h"
#include "display/visible.h"
#include "link/com_map.h"
#include "link/rs232.h"

#include <cstring>
#include <strings.h>

namespace {

enum { FOUND, MISSING, REFUSED, RAW_TCP, RFC2217, STATES };

// device: what ComPortDevice(port) gave, which a second call would replace
int state_of(int port, const char *device) {
    if (is_network_device(device)) return strncasecmp(device, "tcp", 3) == 0 ? RAW_TCP : RFC2217;
    switch (CheckComPort(port)) {
    case 0: return FOUND;
    case RS232_PERMISSION: return REFUSED;
    default: return MISSING;
    }
}

const char *const state_words[STATES] = {"found", "missing", "no access (group dialout)",
                                         "network port (raw TCP)",
                                         "network port (RFC 2217, line set to 19200 8O1)"};

} // namespace

// Each hint is one bounded write; a conditional between two literals lets the compiler check the
// arguments against both languages' texts.
int port_hint(int port, char *text, int textSize) {
    if (textSize <= 0) return 0;
    const bool english = Fremdsprache != 0;
    const char *device = ComPortDevice(port);
    const size_t size = (size_t)textSize;
    const int state = state_of(port, device);
    int written = 0;

    switch (state) {
    case FOUND:
        written = snprintf(text, size,
                           english ? "com%d opens %s (found)"
                                   : "com%d \xf6"
                                     "ffnet %s (vorhanden)",
                           port, device);
        break;
    case MISSING:
        written =
            snprintf(text, size,
                     english ? "com%d opens %s, which is not there.\n"
                               "The option --map com%d=DEVICE points it at another device;\n"
                               "kelvra-ascii --list-ports shows the system's serial ports."
                             : "com%d \xf6"
                               "ffnet %s, das nicht vorhanden ist.\n"
                               "Ein anderes Ger\xe4"
                               "t ordnet die Option --map com%d=GER\xc4"
                               "T zu;\n"
                               "kelvra-ascii --list-ports zeigt die Schnittstellen des Systems.",
                     port, device, port);
        break;
    case RAW_TCP:
    case RFC2217:
        written =
            snprintf(text, size,
                     english ? "com%d opens %s, a device server on the network (%s);\n"
                               "it is reached at the next exchange."
                             : "com%d \xf6"
                               "ffnet %s, einen Ger\xe4"
                               "teserver im Netz (%s);\n"
                               "er wird beim n\xe4"
                               "chsten Austausch erreicht.",
                     port, device,
                     state == RAW_TCP
                         ? (english ? "raw TCP, its line as the server has set it"
                                    : "TCP, seine Leitung so, wie der Server sie eingestellt hat")
                         : (english ? "RFC 2217, which sets its line to 19200 8O1"
                                    : "RFC 2217, der seine Leitung auf 19200 8O1 stellt"));
        break;
    default:
        written = snprintf(text, size,
                           english ? "com%d opens %s, which this user may not open.\n"
                                     "To mend: add the user to the group dialout\n"
                                     "(sudo usermod -aG dialout $USER) and log in again."
                                   : "com%d \xf6"
                                     "ffnet %s, das dieser Benutzer nicht \xf6"
                                     "ffnen darf.\n"
                                     "Abhilfe: den Benutzer in die Gruppe dialout aufnehmen\n"
                                     "(sudo usermod -aG dialout $USER) und neu anmelden.",
                           port, device);
        break;
    }
    return written < 0 ? 0 : written < textSize ? written : textSize - 1;
}

int print_ports(FILE *out) {
    static SystemComPort ports[64];
    const int count = GetSystemComPorts(ports, 64);
    const int listed = count < 64 ? count : 64;

    fputs("Serial ports of this system:\n", out);
    if (count == 0) fputs("  none found\n", out);
    for (int i = 0; i < listed; i++) {
        fputs("  ", out);
        put_latin1_visible(ports[i].path, out);
        if (ports[i].description[0]) fputs("  ", out);
        put_latin1_visible(ports[i].description, out);
        fputc('\n', out);
        if (ports[i].byId[0]) {
            fputs("    ", out);
            put_latin1_visible(ports[i].byId, out);
            fputc('\n', out);
        }
    }
    // cppcheck-suppress knownConditionTrueFalse ; the system may have more ports than are listed
    if (count > listed) fprintf(out, "  and %d more\n", count - listed);

    int width = 0;
    for (int port = 1; port <= RS232_MAX_PORTS; port++) {
        const int length = (int)strlen(ComPortDevice(port));
        if (length > width) width = length;
    }
    fputs("\nPort names and the devices they open:\n", out);
    for (int port = 1; port <= RS232_MAX_PORTS; port++) {
        const char *device = ComPortDevice(port);
        fprintf(out, "  com%-3d ", port);
        put_latin1_visible(device, out);
        fprintf(out, "%*s  %s\n", width - (int)strlen(device), "", state_words[state_of(port, device)]);
    }

    const char *example = "/dev/ttyUSB0";
    for (int i = listed - 1; i >= 0; i--)
        if (ports[i].byId[0]) example = ports[i].byId;
    fputs("\nPoint a port name at another device with --map, e.g.\n"
          "  kelvra-ascii --map com1=",
          out);
    put_latin1_visible(example, out);
    fputs("\nor at a device server on the network (raw TCP or RFC 2217), e.g.\n"
          "  kelvra-ascii --map com1=rfc2217://lab-gw:4001\n",
          out);
    return ferror(out) ? -1 : 0;
}
