// Port names that are network addresses: "tcp://HOST:PORT", a device server's raw data port, and
// "rfc2217://HOST:PORT", Telnet with the COM-PORT-OPTION by which the far line is set. HOST is a
// name, an IPv4 address or an IPv6 address in brackets ("rfc2217://[::1]:4001").
#pragma once

#include <QString>

#include <optional>
#include <string>

struct NetworkAddress {
    bool rfc2217 = false;
    QString host; // without the brackets of an IPv6 address
    quint16 port = 0;
};

// The address that name spells, or nothing and why not in *problem, in the panel language.
std::optional<NetworkAddress> parseNetworkAddress(const std::string &name, QString *problem);
