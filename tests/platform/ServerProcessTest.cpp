#include "support/ServerProcess.h"

#include <QTcpSocket>
#include <gtest/gtest.h>

using testsupport::ServerProcess;

TEST(ServerProcess, StartsAServerReadsItsPortAndStopsIt)
{
    ServerProcess server;
    ASSERT_TRUE(server.startPython(QStringLiteral("echo_port.py"), {})) << server.error().toStdString();
    EXPECT_EQ(server.value(QStringLiteral("NAME")), QStringLiteral("echo"));
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ASSERT_TRUE(socket.waitForConnected(5000));
    socket.write("abc\n");
    ASSERT_TRUE(socket.waitForReadyRead(5000));
    EXPECT_EQ(socket.readLine(), QByteArray("ABC\n"));
    server.stop();
    EXPECT_EQ(server.port(), 0);
}

TEST(ServerProcess, AProgramThatExitsEarlyIsReportedNotAwaited)
{
    ServerProcess server;
    EXPECT_FALSE(server.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("echo oops >&2")}));
    EXPECT_TRUE(server.error().contains(QStringLiteral("exited")));
    EXPECT_TRUE(server.error().contains(QStringLiteral("oops")));
}
