// A network port's connection kept between exchanges, through the real Qt layer against a
// scripted device server: taken back by the next open, closed when the thread's exchanges move to
// another port, when the port is mapped elsewhere, and once it has idled.
#include "link/rs232.h"
#include "tests/support/device_server.h"
#include "tests/support/pty.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

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
    const std::string address = "tcp://127.0.0.1:" + std::to_string(first.port());
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

} // namespace
