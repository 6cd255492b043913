#pragma once
// The numbered socket errors the program logs. The numbers are those of Windows sockets, so that a
// log line reads the same on every platform ("10061:Connection refused"); Qt's socket errors are
// mapped onto them.

#include <QAbstractSocket>
#include <QString>
#include <string>

namespace net {

// Numbers that the socket code itself uses.
inline constexpr int kErrWouldBlock = 10035;
inline constexpr int kErrConnectionReset = 10054;
inline constexpr int kErrNotConnected = 10057;
inline constexpr int kErrConnectionRefused = 10061;

// "<number>:<text>" for a number of the table, "Unknown Error No. <number>" for any other.
std::string SocketErrorMessage(int errorNumber);

// Whether an error number is one that a caller is told about: "would block" is the normal state of
// a non-blocking socket, and numbers up to 10000 are not socket errors.
bool IsReportedSocketError(int errorNumber);

// Qt's socket error onto the table's numbers. Qt folds several system errors into NetworkError and
// tells them apart only by its (untranslated) error text, so that text refines the mapping.
int SocketErrorNumber(QAbstractSocket::SocketError error, const QString& errorText = QString());

// A system error number (errno) of a failed connect onto the table's numbers.
int SocketErrorNumberFromSystem(int systemError);

} // namespace net
