// Debian's mosquitto for the tests, on a free port of 127.0.0.1 with a configuration of the
// test's own in a folder of its own, and mosquitto_sub to read what it carries.
#pragma once

#include <functional>
#include <string>
#include <vector>

class Broker {
public:
    // Starts mosquitto with persistence in its folder, the configuration lines access for who
    // may connect, and further lines (more listeners).
    explicit Broker(const std::string &access = "allow_anonymous true\n",
                    const std::string &more = "");
    ~Broker(); // stops it and removes its folder
    Broker(const Broker &) = delete;
    Broker &operator=(const Broker &) = delete;

    bool running() const { return pid_ > 0; }
    int port() const { return port_; }
    std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(port_); }
    // A file in the broker's folder.
    std::string file(const std::string &name) const { return folder_ + "/" + name; }
    // Stops it with SIGTERM (it saves its persistence) and waits.
    void stop();
    // Starts it (again, on the same port) and waits until it takes connections. False if not.
    bool start();

private:
    int pid_ = -1;
    int port_ = 0;
    std::string folder_;
};

// A mosquitto_sub in the background, writing "retain-flag topic payload" lines to a file; with
// an id of its own its session (QoS 1) outlives a restart of the broker.
class Subscriber {
public:
    Subscriber(const Broker &broker, const std::string &topic, const std::string &id = "");
    ~Subscriber();
    Subscriber(const Subscriber &) = delete;
    Subscriber &operator=(const Subscriber &) = delete;
    // What it has written so far, one line per message.
    std::vector<std::string> lines() const;

private:
    int pid_ = -1;
    std::string file_;
};

// A port of 127.0.0.1 that nothing uses now.
int free_port();
// The messages retained under topic now, as Subscriber writes them.
std::vector<std::string> retained(const Broker &broker, const std::string &topic);
// Waits up to seconds until test() holds; returns whether it did.
bool wait_for(double seconds, const std::function<bool()> &test);
