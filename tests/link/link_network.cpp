// A network port's connection kept between exchanges, through the real Qt layer against a
// scripted device server: taken back by the next open, closed when the thread's exchanges move to
// another port, when the port is mapped elsewhere, and once it has idled.
#include "link/link.h"
#include "link/rs232.h"
#include "tests/support/device_server.h"
#include "tests/support/pty.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

// What the server counts once it has caught up (it accepts on a thread of its own).
int settled(int (ScriptedServer::*count)() const, const ScriptedServer &server, int wanted) {
    for (int i = 0; i < 100 && (server.*count)() != wanted; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return (server.*count)();
}

void use(int port) {
    const std::string name = "com" + std::to_string(port);
    EXPECT_EQ(OpenComConfig(port, name.c_str(), 19200, 1, 8, 1, 2500, 2500), 0)
        << GetRS232ErrorString(ReturnRS232Err());
    EXPECT_EQ(CloseCom(port), 0);
}

TEST(NetworkPort, KeepsItsConnectionUntilThePortChangesOrItIdles) {
    const ScriptedServer first(ScriptedServer::ANSWER);
    TestPty line;
    const std::string address = "tcp://localhost:" + std::to_string(first.port());
    ASSERT_EQ(MapComPort(1, address.c_str()), 0);
    ASSERT_EQ(MapComPort(2, line.path()), 0);

    use(1);
    use(1);
    EXPECT_EQ(settled(&ScriptedServer::accepted, first, 1), 1);
    use(2); // the window's port ring moved on
    EXPECT_EQ(settled(&ScriptedServer::closedByClient, first, 1), 1);
    use(1);
    EXPECT_EQ(settled(&ScriptedServer::accepted, first, 2), 2);
    ASSERT_EQ(MapComPort(1, "rfc2217://lab-gw:4001"), 0);
    EXPECT_EQ(settled(&ScriptedServer::closedByClient, first, 2), 2);

    ASSERT_EQ(MapComPort(1, address.c_str()), 0);
    use(1);
    Delay(4.5);
    EXPECT_EQ(first.closedByClient(), 2) << "kept for the next exchange of a run";
    Delay(1.0); // the timer closes it, with no other exchange
    EXPECT_EQ(first.closedByClient(), 3);
    EXPECT_EQ(first.accepted(), 3);
}

// Worker threads without an event loop, as pollers run ports, each with its port: the waits
// block, each thread keeps its own connection and its own most recent failure.
TEST(NetworkPort, ExchangesOnTwoPortsRunOnTwoThreadsAtOnce) {
    const ScriptedServer servers[] = {ScriptedServer(ScriptedServer::ANSWER),
                                      ScriptedServer(ScriptedServer::ANSWER)};
    std::vector<std::thread> threads;
    std::string answers[2];
    for (int i = 0; i < 2; i++) {
        const int port = 5 + i;
        const std::string address = "tcp://127.0.0.1:" + std::to_string(servers[i].port());
        ASSERT_EQ(MapComPort(port, address.c_str()), 0);
        threads.emplace_back([port, &answer = answers[i]] {
            const std::string name = "com" + std::to_string(port);
            char frame[FRAME_BUFFER_SIZE], reply[FRAME_BUFFER_SIZE];
            const int length = create_framing("A0", frame, 1);
            for (int exchange = 0; exchange < 3; exchange++) {
                if (OpenComConfig(port, name.c_str(), 19200, 1, 8, 1, 2500, 2500) == 0 &&
                    SetComTime(port, 1.0) == 0 && ComWrt(port, frame, length) == length) {
                    const int got = ComRd(port, reply, 18);
                    answer += std::string(reply, size_t(std::max(got, 0))) + "|";
                }
                CloseCom(port);
            }
            EXPECT_EQ(ComRd(port, reply, 1), RS232_NOT_OPEN); // this thread's own failure
            EXPECT_EQ(ReturnRS232Err(), RS232_NOT_OPEN);
        });
    }
    for (std::thread &thread : threads) thread.join();
    char expected[FRAME_BUFFER_SIZE];
    const std::string answer(expected, size_t(create_framing("A0 025.0 025.0", expected, 1)));
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(answers[i], answer + "|" + answer + "|" + answer + "|");
        EXPECT_EQ(servers[i].accepted(), 1);
    }
}

} // namespace
