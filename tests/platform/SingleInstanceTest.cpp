#include "platform/SignalWatcher.h"
#include "platform/SingleInstance.h"
#include "platform/WaitLoop.h"

#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

using platform::SingleInstance;

TEST(SingleInstance, SecondHolderIsRefusedUntilTheFirstReleases)
{
    QTemporaryDir dir;
    auto first = std::make_unique<SingleInstance>(QStringLiteral("Quillmap"), dir.path());
    ASSERT_TRUE(first->acquire());
    SingleInstance second(QStringLiteral("Quillmap"), dir.path());
    // Within one process QLockFile still refuses a second lock on the same file.
    EXPECT_FALSE(second.acquire());
    EXPECT_TRUE(second.alreadyRunning());
    first.reset();
    SingleInstance third(QStringLiteral("Quillmap"), dir.path());
    EXPECT_TRUE(third.acquire());
}

TEST(SingleInstance, StaleLockOfADeadProcessIsTakenOver)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Quillmap.lock"));
    // The format QLockFile writes: pid, application name, host name. A pid that cannot exist.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("999999999\nquillmap\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    f.close();
    SingleInstance instance(QStringLiteral("Quillmap"), dir.path());
    EXPECT_TRUE(instance.acquire());
}

TEST(SignalWatcher, TerminationSignalArrivesInTheEventLoop)
{
    platform::SignalWatcher watcher;
    int received = 0;
    QObject::connect(&watcher, &platform::SignalWatcher::terminationRequested,
                     [&received](int sig) { received = sig; });
    ::raise(SIGHUP);
    EXPECT_EQ(platform::WaitUntil([&] { return received != 0; }, 5000), platform::WaitResult::Done);
    EXPECT_EQ(received, SIGHUP);
}
