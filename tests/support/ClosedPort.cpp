#include "support/ClosedPort.h"

#include <QTcpServer>
#include <gtest/gtest.h>

namespace testsupport {

quint16 ClosedPort()
{
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace testsupport
