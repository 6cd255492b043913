#pragma once
// A port on 127.0.0.1 on which nothing listens: taken from the system, then given back, so that a
// connection to it is refused at once.

#include <QtGlobal>

namespace testsupport {

quint16 ClosedPort();

} // namespace testsupport
