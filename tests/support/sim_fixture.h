// A GoogleTest fixture that runs kelvra-chamber and holds its line open.
#pragma once

#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

class SimLine : public ::testing::Test {
protected:
    // Starts the simulator with args and opens its line raw.
    void start(const std::vector<std::string> &args) {
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->started()) << sim->stderr_text();
        port = open_port(sim->path());
        ASSERT_GE(port, 0) << sim->path();
    }

    // The payload of the one valid frame from address that answers text; "" after a failure.
    std::string ask(const std::string &text, int address) {
        Bytes answer = exchange(port, text, address);
        std::string payload, why;
        EXPECT_TRUE(check_frame(answer, address, &payload, &why))
            << text << " to " << address << ": " << why << " in " << hex(answer);
        return payload;
    }

    // Ends the simulator, which must exit cleanly (a sanitizer report fails it).
    void TearDown() override {
        if (port >= 0) close(port);
        if (sim) {
            int status = sim->stop();
            EXPECT_EQ(status, 0) << sim->stderr_text();
        }
    }

    std::unique_ptr<SimProcess> sim;
    int port = -1;
};
