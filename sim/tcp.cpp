// TCP set-up over POSIX sockets.
#include "sim/tcp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

// An IPv4 or IPv6 socket address of a numeric address and a port; its length, or 0 for no
// numeric address.
static socklen_t address_of(const char *text, int port, sockaddr_storage *address) {
    memset(address, 0, sizeof *address);
    auto *v4 = reinterpret_cast<sockaddr_in *>(address);
    auto *v6 = reinterpret_cast<sockaddr_in6 *>(address);
    if (inet_pton(AF_INET, text, &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons((uint16_t)port);
        return sizeof *v4;
    }
    if (inet_pton(AF_INET6, text, &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons((uint16_t)port);
        return sizeof *v6;
    }
    return 0;
}

// "ADDRESS:PORT", an IPv6 address in brackets.
static void name_of(const sockaddr_storage *address, char *name, size_t size) {
    char text[INET6_ADDRSTRLEN] = "?";
    int port = 0;
    if (address->ss_family == AF_INET6) {
        const auto *v6 = reinterpret_cast<const sockaddr_in6 *>(address);
        inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        port = ntohs(v6->sin6_port);
        snprintf(name, size, "[%s]:%d", text, port);
        return;
    }
    const auto *v4 = reinterpret_cast<const sockaddr_in *>(address);
    inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
    port = ntohs(v4->sin_port);
    snprintf(name, size, "%s:%d", text, port);
}

static int fail(int fd, char *error, size_t size, const char *what, const char *address, int port) {
    int cause = errno;
    if (fd >= 0) close(fd);
    snprintf(error, size, "%s %s port %d: %s", what, address, port, strerror(cause));
    return -1;
}

int tcp_listen(const char *text, int port, char *name, size_t name_size, char *error, size_t size) {
    sockaddr_storage address;
    socklen_t length = address_of(text, port, &address);
    if (length == 0) {
        errno = EINVAL;
        return fail(-1, error, size, "cannot listen on", text, port);
    }
    int fd = socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return fail(fd, error, size, "cannot make a socket for", text, port);
    int on = 1;
    // A port that an earlier run's closed connections still hold is free to bind again.
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, reinterpret_cast<sockaddr *>(&address), length) < 0)
        return fail(fd, error, size, "cannot bind", text, port);
    // A second client waits in the backlog until the first has gone.
    if (listen(fd, 8) < 0) return fail(fd, error, size, "cannot listen on", text, port);
    length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) < 0)
        return fail(fd, error, size, "cannot read the port bound to", text, port);
    char bound[INET6_ADDRSTRLEN + 16];
    name_of(&address, bound, sizeof bound);
    snprintf(name, name_size, "tcp://%s", bound);
    return fd;
}

// Failures that concern one client that tried to come, not the listener.
static bool passing(int cause) {
    switch (cause) {
    case EAGAIN:
    case EINTR:
    case ECONNABORTED:
    case EPROTO:
    case EPERM:
    case ENETDOWN:
    case ENETUNREACH:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENONET:
    case ENOPROTOOPT:
    case EOPNOTSUPP: return true;
    default: return false;
    }
}

int tcp_accept(int listener, char *peer, size_t peer_size) {
    sockaddr_storage address;
    socklen_t length = sizeof address;
    int fd = accept4(listener, reinterpret_cast<sockaddr *>(&address), &length,
                     SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return passing(errno) ? -1 : -2;
    int on = 1;
    // Paced answers leave byte by byte, not gathered into fewer segments.
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    name_of(&address, peer, peer_size);
    return fd;
}
