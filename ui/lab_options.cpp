// The chambers and the lab file named on the command line.
#include "ui/lab_options.h"

#include "display/visible.h"
#include "ui/options.h"

#include <cstdio>
#include <memory>

namespace {

std::unique_ptr<Lab> chambers;
const char *labFile;

int usage(const char *option, const char *message) {
    std::fprintf(stderr, "kelvra-ascii: %s ", option);
    put_bytes_visible(message, stderr);
    std::fputc('\n', stderr);
    return EXIT_USAGE;
}

Lab *list() {
    if (!chambers) {
        chambers = std::make_unique<Lab>();
        lab_clear(chambers.get());
    }
    return chambers.get();
}

} // namespace

int add_chamber_option(const char *value) {
    LabChamber chamber;
    char error[256];
    if (lab_parse_chamber(value, &chamber, error, sizeof error) != 0)
        return usage("--chamber", error);
    if (lab_add(list(), &chamber) < 0) {
        std::snprintf(error, sizeof error,
                      "%s: that chamber is named twice, or there are more "
                      "than 256",
                      value);
        return usage("--chamber", error);
    }
    return OPTIONS_CONTINUE;
}

int set_lab_option(const char *value) {
    if (*value == '\0') return usage("--lab:", "the file name is empty");
    labFile = value;
    return OPTIONS_CONTINUE;
}

void reset_lab_options(void) {
    lab_clear(list());
    labFile = nullptr;
}

const Lab *chamber_options(void) {
    return list();
}

const char *lab_file_option(void) {
    return labFile;
}
