// ser2net as a process and a scripted device server on a thread, on loopback only.
#include "tests/support/device_server.h"

#include "link/link.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A socket listening on 127.0.0.1:port (0: any free one), or -1.
int listen_on(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(fd, 4) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int port_of(int fd) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
    return ntohs(address.sin_port);
}

// Whether a socket listens on 127.0.0.1:port, as the system lists it: a probing connection
// would make ser2net open its device.
bool listening(int port) {
    std::ifstream table("/proc/net/tcp");
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (local == wanted && state == "0A") return true;
    }
    return false;
}

// Waits up to `ms` for fd to become readable; false when stopping or nothing came.
bool readable(int fd, int ms, const std::atomic<bool> &stop) {
    for (int waited = 0; waited < ms && !stop; waited += 20) {
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, 20) > 0) return true;
    }
    return false;
}

} // namespace

int free_loopback_port() {
    const int fd = listen_on(0);
    const int port = port_of(fd);
    close(fd);
    return port;
}

Ser2net::Ser2net(const std::string &device, bool rfc2217, const std::string &line) {
    const int port = free_loopback_port();
    char name[] = "/tmp/kelvra-ser2net-XXXXXX.yaml"; // ser2net reads the name's ending
    const int fd = mkstemps(name, 5);
    if (fd < 0) return;
    close(fd);
    config_ = name;
    std::ofstream(config_) << "connection: &line\n"
                           << "    accepter: " << (rfc2217 ? "telnet(rfc2217)," : "")
                           << "tcp,127.0.0.1," << port << "\n"
                           << "    connector: serialdev," << device << "," << line << ",local\n";
    pid_ = fork();
    if (pid_ == 0) { // quiet, in the foreground
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execlp("ser2net", "ser2net", "-n", "-d", "-c", config_.c_str(), nullptr);
        _exit(127);
    }
    for (int i = 0; i < 250 && pid_ > 0 && !started_; i++) {
        started_ = listening(port);
        if (!started_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    address_ = (rfc2217 ? "rfc2217://127.0.0.1:" : "tcp://127.0.0.1:") + std::to_string(port);
}

Ser2net::~Ser2net() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    if (!config_.empty()) unlink(config_.c_str());
}

ScriptedServer::ScriptedServer(Script script) : script_(script) {
    const int listener = listen_on(0);
    port_ = port_of(listener);
    thread_ = std::thread([this, listener] { serve(listener); });
}

ScriptedServer::~ScriptedServer() {
    stop_ = true;
    thread_.join();
}

void ScriptedServer::serve(int listener) {
    bool answered = false;
    while (!stop_) {
        if (!readable(listener, 100, stop_)) continue;
        const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        accepted_++;
        char request[FRAME_BUFFER_SIZE];
        ssize_t got = 0;
        while (readable(client, 60000, stop_) &&
               (got = read(client, request, sizeof request)) > 0) {
            if (script_ == SILENT || got < 2) continue;
            char answer[FRAME_BUFFER_SIZE];
            const int length = create_framing("A0 025.0 025.0", answer, request[1] & 0x7F);
            const bool half = script_ == DROP_IN_ANSWER;
            if (write(client, answer, size_t(half ? length / 2 : length)) < 0 || half) break;
            if (script_ == RESTART && !answered) break;
        }
        if (got == 0) closed_++;
        close(client);
        if (script_ == RESTART && !answered) { // down for a second, then back on the same port
            answered = true;
            close(listener);
            for (int i = 0; i < 50 && !stop_; i++)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            listener = listen_on(port_);
        }
    }
    close(listener);
}
