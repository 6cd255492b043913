#pragma once
// The failures of the network components. Every one carries its message as code page 932 bytes
// (what()), so that callers can log it like any other text of the program. Callers catch NetError
// around each network step; the subclasses tell what kind of step failed.

#include <stdexcept>
#include <string>

namespace net {

// Base of every network failure; thrown as itself for the plain failures ("Not Connected").
class NetError : public std::runtime_error
{
public:
    explicit NetError(const std::string& message) : std::runtime_error(message) {}
};

// Socket failures: host look-up, connecting, accepting, and the numbered socket errors
// ("10061:Connection refused").
class ESockError : public NetError
{
public:
    using NetError::NetError;
};

// A send or read ended by a cancel or a time-out ("Socket send aborted", "Socket readln aborted").
class EAbortError : public NetError
{
public:
    using NetError::NetError;
};

// An FTP reply judged a failure; carries the server's reply line.
class FTPException : public NetError
{
public:
    using NetError::NetError;
};

// A mail protocol reply judged a failure; carries the reply line.
class ProtocolReplyError : public NetError
{
public:
    using NetError::NetError;
};

} // namespace net
