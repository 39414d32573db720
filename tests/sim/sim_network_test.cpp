// kelvra-chamber as a bus of chambers, on a TCP port, and paced like a real line.
#include "tests/support/sim_fixture.h"

#include "link/link.h"

#include <map>
#include <poll.h>
#include <regex>
#include <set>

namespace {

// "A0" to addresses 1..10 at once (an unpaced answer goes out before the next request is
// read); the payloads of the answers, 18 bytes each, by address.
std::map<int, std::string> sweep(int port) {
    Bytes requests, answers;
    for (int address = 1; address <= 10; address++) {
        Bytes frame = frame_of("A0", address);
        requests.insert(requests.end(), frame.begin(), frame.end());
    }
    send_bytes(port, requests);
    answers = read_until_quiet(port, 200, 3000);
    std::map<int, std::string> payloads;
    for (auto at = answers.begin(); answers.end() - at >= 18; at += 18) {
        std::string why;
        EXPECT_TRUE(check_frame(Bytes(at, at + 18), at[1] & 0x7F, &payloads[at[1] & 0x7F], &why))
            << why << " in " << hex(answers);
    }
    EXPECT_EQ(answers.size() % 18, 0u) << hex(answers);
    return payloads;
}

TEST_F(SimLine, ARangeAnswersExactlyItsAddressesEachChamberOnItsOwn) {
    start({"--address", "3-5", "--address", "9"});
    std::map<int, std::string> before = sweep(port);
    std::set<int> addresses;
    std::set<std::string> actual_values;
    for (const auto &[address, answer] : before) {
        addresses.insert(address);
        actual_values.insert(answer.substr(0, 8));
    }
    EXPECT_EQ(addresses, (std::set<int>{3, 4, 5, 9}));
    EXPECT_EQ(actual_values.size(), 4u) << "the chambers' temperatures differ";

    ASSERT_EQ(ask("a0 050.0", 4), "a");
    std::map<int, std::string> after = sweep(port);
    for (int address : {3, 5, 9})
        EXPECT_EQ(after[address].substr(8), before[address].substr(8)) << address;
    EXPECT_EQ(after[4].substr(8), " 050.0");
}

TEST(SimTcp, ServesOneClientAtATimeAndTheNextStartsClean) {
    SimProcess sim({"--tcp", "0", "--pace", "1200", "--verbose"}); // 9.2 ms a byte
    ASSERT_TRUE(std::regex_match(sim.path(), std::regex("tcp://127\\.0\\.0\\.1:[0-9]+")))
        << sim.path() << sim.stderr_text();
    Descriptor first{open_port(sim.path())}, second{open_port(sim.path())};
    ASSERT_GE(first.fd, 0);
    ASSERT_GE(second.fd, 0);
    EXPECT_EQ(hex(exchange(first.fd, "L", 1)), hex(frame_of("L0", 1)));
    send_bytes(second.fd, frame_of("L", 1));
    EXPECT_EQ(hex(read_until_quiet(second.fd, 100, 300)), "") << "served beside the first";
    first.shut();
    EXPECT_EQ(hex(read_answer(second.fd, 2000).bytes), hex(frame_of("L0", 1)));

    // The second goes in the middle of an answer, leaving the start of a request behind; the
    // third, waiting, sent what would finish that request.
    const Descriptor third{open_port(sim.path())};
    ASSERT_GE(third.fd, 0);
    Bytes request = frame_of("A0", 1);
    send_bytes(third.fd, Bytes(request.begin() + 2, request.end()));
    send_bytes(second.fd, request);
    struct pollfd answering = {second.fd, POLLIN, 0};
    ASSERT_EQ(poll(&answering, 1, 1000), 1);
    send_bytes(second.fd, Bytes(request.begin(), request.begin() + 2));
    second.shut();
    EXPECT_EQ(hex(read_until_quiet(third.fd, 100, 400)), "") << "the second's leftovers";
    EXPECT_EQ(hex(exchange(third.fd, "L", 1)), hex(frame_of("L0", 1)));

    std::string out, err, port = sim.path().substr(sim.path().rfind(':') + 1);
    EXPECT_EQ(run_sim({"--tcp", port}, &out, &err), 1);
    EXPECT_NE(err.find("cannot bind 127.0.0.1 port " + port + ": Address already in use"),
              std::string::npos)
        << err;
    EXPECT_EQ(sim.stop(), 0) << sim.stderr_text();
}

TEST(SimTcp, ListensOnIpv6Loopback) {
    SimProcess sim({"--tcp", "0", "--bind", "::1"});
    ASSERT_TRUE(std::regex_match(sim.path(), std::regex("tcp://\\[::1\\]:[0-9]+")))
        << sim.path() << sim.stderr_text();
    const Descriptor client{open_port(sim.path())};
    ASSERT_GE(client.fd, 0);
    EXPECT_EQ(hex(exchange(client.fd, "L", 1)), hex(frame_of("L0", 1)));
    EXPECT_EQ(sim.stop(), 0) << sim.stderr_text();
}

// A sweep of 32 chambers at 19200 baud: each answer's last byte comes no sooner than 18 byte
// times after the request, its bytes spread over that time, and the whole sweep not much later.
TEST_F(SimLine, PaceSpreadsEachAnswerOverItsByteTimes) {
    start({"--address", "1-32", "--pace", "19200"});
    const double byte_time = 11.0 / 19200;
    double total = 0, spread = 0;
    for (int address = 1; address <= 32; address++) {
        double sent = seconds_now();
        send_bytes(port, frame_of("A0", address));
        TimedAnswer answer = read_answer(port, 1000);
        ASSERT_EQ(answer.bytes.size(), 18u) << address << ": " << hex(answer.bytes);
        total += answer.last - sent;
        spread += answer.last - answer.first;
    }
    const double ideal = 32 * 18 * byte_time; // 330 ms
    EXPECT_GE(total, ideal * 0.999);
    EXPECT_LT(total, ideal * 3 + 1.0) << "the machine may be busy, but not this busy";
    EXPECT_GE(spread, 32 * 17 * byte_time * 0.5) << "the bytes came in a lump";
}

} // namespace
