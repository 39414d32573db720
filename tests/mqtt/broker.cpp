// Starting and stopping mosquitto and mosquitto_sub for the tests.
#include "tests/mqtt/broker.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

// Starts argv with stdout and stderr to the file output. Returns the process id, -1 on failure.
int spawn(const std::vector<std::string> &args, const std::string &output) {
    std::vector<char *> argv;
    for (const std::string &arg : args) argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : pid;
}

void end(int *pid, int signal) {
    if (*pid <= 0) return;
    kill(*pid, signal);
    waitpid(*pid, nullptr, 0);
    *pid = -1;
}

// Binds (port 0: any free one) or connects a socket to the port of 127.0.0.1. Returns the
// socket's own port, or -1 when that failed.
int on_loopback(int port, bool bind_it) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    auto *any = reinterpret_cast<sockaddr *>(&address);
    socklen_t length = sizeof address;
    const bool done = (bind_it ? bind(fd, any, length) : connect(fd, any, length)) == 0 &&
                      getsockname(fd, any, &length) == 0;
    close(fd);
    return done ? ntohs(address.sin_port) : -1;
}

std::vector<std::string> lines_of_file(const std::string &name) {
    std::ifstream file(name);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        if (line.rfind("0 ", 0) == 0 || line.rfind("1 ", 0) == 0) lines.push_back(line); // messages
    return lines;
}

const char FORMAT[] = "%r %t %p";

} // namespace

bool wait_for(double seconds, const std::function<bool()> &test) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!test()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

Broker::Broker(const std::string &access, const std::string &more) {
    char folder[] = "/tmp/kelvra-broker-XXXXXX";
    if (!mkdtemp(folder)) return;
    folder_ = folder;
    port_ = free_port();
    // as root mosquitto would become the user "mosquitto", which cannot read the test's files
    // cppcheck-suppress getpwuidCalled ; no other thread runs while the test sets up
    const passwd *user = getpwuid(getuid());
    std::ofstream(file("mosquitto.conf"))
        << "user " << (user ? user->pw_name : "root") << "\nlistener " << port_ << " 127.0.0.1\n"
        << access << "persistence true\npersistence_location " << folder_ << "/\n"
        << more;
    start();
}

Broker::~Broker() {
    stop();
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

void Broker::stop() {
    end(&pid_, SIGTERM);
}

bool Broker::start() {
    if (folder_.empty()) return false;
    pid_ = spawn({"mosquitto", "-c", file("mosquitto.conf")}, file("broker.log"));
    if (pid_ > 0 && wait_for(10, [this] { return on_loopback(port_, false) > 0; })) return true;
    stop();
    return false;
}

Subscriber::Subscriber(const Broker &broker, const std::string &topic, const std::string &id)
    : file_(broker.file("subscriber-" + std::to_string(free_port()) + ".txt")) {
    std::vector<std::string> args = {"mosquitto_sub",
                                     "-h",
                                     "127.0.0.1",
                                     "-p",
                                     std::to_string(broker.port()),
                                     "-t",
                                     topic,
                                     "-q",
                                     "1",
                                     "-F",
                                     FORMAT};
    if (!id.empty()) args.insert(args.end(), {"-i", id, "-c"});
    pid_ = spawn(args, file_);
}

Subscriber::~Subscriber() {
    end(&pid_, SIGTERM);
}

std::vector<std::string> Subscriber::lines() const {
    return lines_of_file(file_);
}

std::vector<std::string> retained(const Broker &broker, const std::string &topic) {
    const std::string file = broker.file("retained.txt");
    (void)std::remove(file.c_str());
    int pid = spawn({"mosquitto_sub", "-h", "127.0.0.1", "-p", std::to_string(broker.port()), "-t",
                     topic, "--retained-only", "-W", "1", "-F", FORMAT},
                    file);
    waitpid(pid, nullptr, 0);
    return lines_of_file(file);
}

int free_port() {
    return on_loopback(0, true);
}
