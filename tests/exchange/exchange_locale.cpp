// Under a German system locale the numbers in frames and sentences keep their decimal point:
// the window's start-up leaves LC_NUMERIC at "C" although Qt adopts the system locale.
#include "display/format.h"
#include "link/link.h"
#include "tests/support/ui_harness.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// Builds a German locale into a directory of the test's own, when the system has its sources;
// returns whether the environment now names one that uses a decimal comma.
bool useGermanLocale() {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kelvra-locale-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + (dir / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return false;
    setenv("LOCPATH", dir.c_str(), 1);
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    const bool comma = std::setlocale(LC_ALL, "") && *std::localeconv()->decimal_point == ',';
    (void)std::setlocale(LC_ALL, "C");
    return comma;
}

void removeGermanLocale() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::temp_directory_path() /
                                    ("kelvra-locale-" + std::to_string(getpid())),
                                ignored);
}

TEST(Locale, NumbersKeepTheirDecimalPointUnderAGermanSystemLocale) {
    const bool german = useGermanLocale();
    ui_init(); // creates the application, which adopts the system locale

    EXPECT_STREQ(std::localeconv()->decimal_point, ".");
    char frame[FRAME_BUFFER_SIZE], display[DISPLAY_BUFFER_SIZE];
    Fremdsprache = 1;
    create_framing("u0 03.50", frame, 1);
    format_sendbuffer(frame, display, MODE_INTERPRETED);
    EXPECT_STREQ(display, "Adjust ramprate for ramp up of channel 0 to    3.50.");
    removeGermanLocale();
    if (!german) GTEST_SKIP() << "no German locale could be built; checked under C only";
}

} // namespace
