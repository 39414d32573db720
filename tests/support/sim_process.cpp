// Test helpers for the chamber simulator.
#include "tests/support/sim_process.h"

#include "link/link.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

extern char **environ;

static std::vector<char *> argv_of(const std::vector<std::string> &args) {
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(KELVRA_CHAMBER));
    for (const std::string &arg : args) argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    return argv;
}

static std::string temp_file() {
    char name[] = "/tmp/kelvra-chamber-XXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    return name;
}

static std::string read_file(const std::string &name) {
    std::string text;
    if (FILE *f = fopen(name.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
        (void)fclose(f); // read to its end: nothing is lost if the close fails
    }
    return text;
}

// Starts the simulator with stdout on a pipe and stderr into a file; returns the pid or -1.
static int spawn(const std::vector<std::string> &args, int *out, const std::string &err_file) {
    int pipe_fds[2];
    if (pipe(pipe_fds) < 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_file.c_str(), O_WRONLY | O_TRUNC,
                                     0);
    std::vector<char *> argv = argv_of(args);
    pid_t pid;
    int status = posix_spawn(&pid, KELVRA_CHAMBER, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    if (status != 0) {
        close(pipe_fds[0]);
        return -1;
    }
    *out = pipe_fds[0];
    return pid;
}

// Everything fd gives within limit_ms, up to the first newline when line is set.
static std::string read_from(int fd, int limit_ms, bool line) {
    std::string text;
    double end = seconds_now() + limit_ms / 1000.0;
    for (;;) {
        int left = (int)((end - seconds_now()) * 1000.0);
        struct pollfd p = {fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, left) <= 0) break;
        char c;
        if (read(fd, &c, 1) != 1) break;
        if (line && c == '\n') break;
        text += c;
    }
    return text;
}

static int exit_status(int pid) {
    int status;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Descriptor::shut() {
    if (fd >= 0) close(fd);
    fd = -1;
}

SimProcess::SimProcess(const std::vector<std::string> &args) : stderr_file_(temp_file()) {
    int out;
    pid_ = spawn(args, &out, stderr_file_);
    if (pid_ < 0) return;
    path_ = read_from(out, 5000, true);
    close(out);
}

SimProcess::~SimProcess() {
    stop();
    unlink(stderr_file_.c_str());
}

int SimProcess::stop(int signal) {
    if (pid_ < 0) return -1;
    kill(pid_, signal);
    int status = exit_status(pid_);
    pid_ = -1;
    return status;
}

std::string SimProcess::stderr_text() const {
    return read_file(stderr_file_);
}

int run_sim(const std::vector<std::string> &args, std::string *out, std::string *err) {
    std::string err_file = temp_file();
    int out_fd;
    int pid = spawn(args, &out_fd, err_file);
    if (pid < 0) return -1;
    *out = read_from(out_fd, 5000, false);
    close(out_fd);
    int status = exit_status(pid);
    *err = read_file(err_file);
    unlink(err_file.c_str());
    return status;
}

// A connected socket to "tcp://HOST:PORT", non-blocking; -1 on failure.
static int connect_tcp(const std::string &url) {
    size_t colon = url.rfind(':');
    if (colon == std::string::npos || colon < 6) return -1;
    std::string host = url.substr(6, colon - 6), port = url.substr(colon + 1);
    if (host.size() > 1 && host.front() == '[') host = host.substr(1, host.size() - 2);
    struct addrinfo hints = {}, *found = nullptr;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return -1;
    int fd = socket(found->ai_family, SOCK_STREAM, 0);
    if (fd >= 0 && connect(fd, found->ai_addr, found->ai_addrlen) < 0) {
        close(fd);
        fd = -1;
    }
    freeaddrinfo(found);
    if (fd >= 0) fcntl(fd, F_SETFL, O_NONBLOCK);
    return fd;
}

int open_port(const std::string &path) {
    if (path.rfind("tcp://", 0) == 0) return connect_tcp(path);
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    struct termios settings;
    tcgetattr(fd, &settings);
    cfmakeraw(&settings);
    tcsetattr(fd, TCSANOW, &settings);
    return fd;
}

Bytes frame_of(const std::string &text, int address) {
    char frame[FRAME_BUFFER_SIZE];
    int n = create_framing(text.c_str(), frame, address);
    return Bytes(frame, frame + n);
}

void send_bytes(int fd, const Bytes &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += (size_t)n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

Bytes read_until_quiet(int fd, int quiet_ms, int limit_ms) {
    Bytes bytes;
    double end = seconds_now() + limit_ms / 1000.0;
    for (;;) {
        int left = (int)((end - seconds_now()) * 1000.0);
        if (left <= 0) break;
        struct pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, bytes.empty() ? left : std::min(left, quiet_ms)) <= 0) break;
        unsigned char buffer[1024];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

Bytes exchange(int fd, const std::string &text, int address) {
    send_bytes(fd, frame_of(text, address));
    return read_until_quiet(fd, 100, 1000);
}

TimedAnswer read_answer(int fd, int limit_ms) {
    TimedAnswer answer{{}, 0, 0};
    double end = seconds_now() + limit_ms / 1000.0;
    while (answer.bytes.empty() || answer.bytes.back() != ETX) {
        int left = (int)std::ceil((end - seconds_now()) * 1000.0);
        struct pollfd p = {fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, left) <= 0) break;
        unsigned char buffer[1024];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        answer.last = seconds_now();
        if (answer.bytes.empty()) answer.first = answer.last;
        answer.bytes.insert(answer.bytes.end(), buffer, buffer + n);
    }
    return answer;
}

double seconds_now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool check_frame(const Bytes &bytes, int address, std::string *payload, std::string *why) {
    size_t n = bytes.size();
    payload->clear();
    auto reject = [why](const char *reason) {
        *why = reason;
        return false;
    };
    if (n < 4) return reject("shorter than a frame");
    if (bytes[0] != STX) return reject("does not start with STX");
    if (bytes[1] != (unsigned char)(address | 0x80)) return reject("wrong address byte");
    unsigned char sum = bytes[1];
    for (size_t i = 2; i < n - 1; i++) {
        if (!(bytes[i] & 0x80)) return reject("body byte without bit 7");
        sum ^= bytes[i];
    }
    if (bytes[n - 1] != ETX) return reject("does not end with ETX");
    if (sum & 0x7F) return reject("bad checksum");
    for (size_t i = 2; i < n - 2; i++) *payload += (char)(bytes[i] & 0x7F);
    return true;
}

std::string hex(const Bytes &bytes) {
    std::string text;
    char byte[4];
    for (unsigned char b : bytes) {
        snprintf(byte, sizeof byte, "%02X ", b);
        text += byte;
    }
    return text;
}
