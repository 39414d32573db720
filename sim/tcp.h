// A TCP port that the simulator serves instead of a line: raw bytes, one client at a time.
#pragma once

#include <cstddef>

// Listens, non-blocking, on address (a numeric IPv4 or IPv6 address) at port (0: any free one).
// Writes what it serves as "tcp://ADDRESS:PORT" with the port bound (an IPv6 address in
// brackets) to name. Returns the listening descriptor, or -1 with a message in error.
int tcp_listen(const char *address, int port, char *name, size_t name_size, char *error,
               size_t size);
// Takes the next waiting client, non-blocking and with every byte sent as soon as it is written,
// and writes its address as "ADDRESS:PORT" to peer. Returns its descriptor; -1 when none could be
// taken now (none waits, or one went away before it was taken); -2 when the listener failed,
// errno saying why.
int tcp_accept(int listener, char *peer, size_t peer_size);
