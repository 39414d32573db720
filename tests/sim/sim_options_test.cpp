// The simulator's option parser in the process: which chambers --address names.
#include "sim/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Parses args; returns the served addresses' bits, or 0 and the message.
unsigned long long served_by(std::vector<std::string> args, std::string *message) {
    args.insert(args.begin(), "kelvra-chamber");
    std::vector<char *> argv;
    for (std::string &arg : args) argv.push_back(arg.data());
    Options options;
    char error[256] = "";
    int status = options_parse((int)argv.size(), argv.data(), &options, error, sizeof error);
    *message = error;
    return status == 0 ? options.addresses : 0;
}

unsigned long long bits(int first, int last) {
    unsigned long long mask = 0;
    for (int address = first; address <= last; address++) mask |= 1ull << address;
    return mask;
}

TEST(SimAddresses, SingleAddressesAndRangesAddUp) {
    const struct Case {
        std::vector<std::string> args;
        unsigned long long served;
    } cases[] = {
        {{}, bits(1, 1)},
        {{"--address", "1-32"}, bits(1, 32)},
        {{"--address", "3", "--address", "17"}, bits(3, 3) | bits(17, 17)},
        {{"--address", "1-4", "--address", "9"}, bits(1, 4) | bits(9, 9)},
        {{"--address=7-7"}, bits(7, 7)},
        {{"--address", "30-32", "--address", "31"}, bits(30, 32)},
        {{"--address", "05-012"}, bits(5, 12)},
    };
    for (const Case &c : cases) {
        std::string message;
        EXPECT_EQ(served_by(c.args, &message), c.served) << message;
    }
}

TEST(SimAddresses, RefusesWhatIsNoAddressOrRange) {
    for (const char *value : {"0", "33", "5-3", "1-33", "0-4", "1-", "-3", "1--2", "1-2-3", "a", "",
                              " 3", "+3", "3 ", "1,2", "1 - 2", "9999999999"}) {
        std::string message;
        EXPECT_EQ(served_by({"--address", value}, &message), 0u) << value;
        EXPECT_EQ(message, std::string("--address ") + value +
                               ": the address must be 1 to 32, or a range N-M of them with N <= M");
    }
}

} // namespace
