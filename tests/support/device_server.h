// Device servers on loopback for the network port tests: Debian's ser2net in front of a serial
// line, and a scripted one for what ser2net cannot be made to do.
#pragma once

#include <atomic>
#include <string>
#include <thread>

// ser2net on a free port of 127.0.0.1, stopped when destroyed. It opens the device for each
// client with the resting settings given ("9600n81") and restores them when the client leaves.
class Ser2net {
public:
    Ser2net(const std::string &device, bool rfc2217, const std::string &line = "9600n81");
    ~Ser2net();
    Ser2net(const Ser2net &) = delete;
    Ser2net &operator=(const Ser2net &) = delete;

    bool started() const { return started_; } // listening
    // The port name that reaches it: "tcp://127.0.0.1:PORT" or "rfc2217://127.0.0.1:PORT".
    const std::string &address() const { return address_; }

private:
    int pid_ = -1;
    bool started_ = false;
    std::string address_, config_;
};

// A device server played by a script on 127.0.0.1, one client at a time, on a thread of its own.
class ScriptedServer {
public:
    enum Script {
        ANSWER,         // answers every request as a chamber would ("A0 025.0 025.0")
        SILENT,         // takes the requests and says nothing
        DROP_IN_ANSWER, // sends half an answer and closes the connection
        RESTART,        // answers once, then stops listening for a second and starts anew
    };
    explicit ScriptedServer(Script script);
    ~ScriptedServer(); // its atomics and thread make it neither copyable nor movable

    int port() const { return port_; }
    // Connections accepted so far, and how many of them the client has closed.
    int accepted() const { return accepted_; }
    int closedByClient() const { return closed_; }

private:
    void serve(int listener);

    Script script_;
    int port_ = 0;
    std::atomic<int> accepted_{0}, closed_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A port of 127.0.0.1 that nothing listens on now.
int free_loopback_port();
