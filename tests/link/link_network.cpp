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

// Opens the port and closes it again; with a command, exchanges it with chamber 1 in between and
// returns the answer.
std::string use(int port, const char *command = nullptr) {
    const std::string name = "com" + std::to_string(port);
    EXPECT_EQ(OpenComConfig(port, name.c_str(), 19200, 1, 8, 1, 2500, 2500), 0)
        << GetRS232ErrorString(ReturnRS232Err());
    std::string answer(command ? 18 : 0, '\0');
    char frame[FRAME_BUFFER_SIZE];
    const int length = command ? create_framing(command, frame, 1) : 0;
    if (command && ComWrt(port, frame, length) == length)
        answer.resize(size_t(std::max(0, ComRd(port, answer.data(), int(answer.size())))));
    EXPECT_EQ(CloseCom(port), 0);
    return answer;
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
    char frame[FRAME_BUFFER_SIZE];
    const std::string answer(frame, size_t(create_framing("A0 025.0 025.0", frame, 1)));
    std::vector<std::thread> threads;
    for (int port : {5, 6}) {
        const std::string address = "tcp://127.0.0.1:" + std::to_string(servers[port - 5].port());
        ASSERT_EQ(MapComPort(port, address.c_str()), 0);
        threads.emplace_back([port, &answer] {
            for (int exchange = 0; exchange < 3; exchange++) EXPECT_EQ(use(port, "A0"), answer);
            EXPECT_EQ(GetInQLen(port), RS232_NOT_OPEN);
            EXPECT_EQ(ReturnRS232Err(), RS232_NOT_OPEN); // this thread's own failure
        });
    }
    for (std::thread &thread : threads) thread.join();
    for (const ScriptedServer &server : servers) EXPECT_EQ(server.accepted(), 1);
}

} // namespace
