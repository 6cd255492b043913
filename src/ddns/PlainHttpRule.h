#pragma once
// No password in clear over the Internet: a provider's server may be reached over plain http://
// only when it is on this machine or the local network.

#include <QHostAddress>
#include <string>

namespace ddns {

// Loopback, private (RFC 1918), link-local and unique-local addresses (IPv4-mapped ones as well).
bool IsLocalAddress(const QHostAddress& address);
// Why this [DDNS] Server setting cannot be used (code page 932), empty when it can: an http://
// server must be a local address, or a host name whose every address is local (the name is
// looked up, so this may wait for the resolver).
std::string PlainHttpProblem(const std::string& server);

} // namespace ddns
