// The option table: --lang and the handling of unknown and malformed options.
#include "display/format.h"
#include "ui/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Options, LanguageAndErrors) {
    const struct {
        std::vector<const char *> args;
        int result, language;
        const char *message; // part of the stderr line; null for none
    } cases[] = {
        {{}, OPTIONS_CONTINUE, 0, nullptr},
        {{"--lang", "en"}, OPTIONS_CONTINUE, 1, nullptr},
        {{"--lang=en"}, OPTIONS_CONTINUE, 1, nullptr},
        {{"--lang", "en", "--lang", "de"}, OPTIONS_CONTINUE, 0, nullptr},
        {{"--lang"}, EXIT_USAGE, 0, "needs a value (de|en)"},
        {{"--lang", "fr"}, EXIT_USAGE, 0, "bad value for --lang"},
        {{"--lang="}, EXIT_USAGE, 0, "bad value for --lang"},
        {{"--language", "en"}, EXIT_USAGE, 0, "unknown option '--language'"},
        {{"--lan", "en"}, EXIT_USAGE, 0, "unknown option '--lan'"},
        {{"en"}, EXIT_USAGE, 0, "unknown option 'en'"},
        {{"--lang", "en", "-x"}, EXIT_USAGE, 1, "unknown option '-x'"},
    };
    for (const auto &c : cases) {
        std::vector<char *> argv{const_cast<char *>("kelvra-ascii")};
        for (const char *arg : c.args) argv.push_back(const_cast<char *>(arg));
        argv.push_back(nullptr);
        Fremdsprache = 0;
        testing::internal::CaptureStderr();
        const int result = parse_options(int(argv.size()) - 1, argv.data());
        const std::string message = testing::internal::GetCapturedStderr();
        const std::string trace = c.args.empty() ? "(none)" : c.args.back();
        EXPECT_EQ(result, c.result) << trace;
        EXPECT_EQ(Fremdsprache, c.language) << trace;
        if (c.message) {
            EXPECT_NE(message.find(c.message), std::string::npos) << message;
            EXPECT_EQ(message.find('\n'), message.size() - 1) << "one line: " << message;
            EXPECT_EQ(message.rfind("kelvra-ascii: ", 0), 0u) << message;
        } else {
            EXPECT_EQ(message, "");
        }
    }
}

} // namespace
