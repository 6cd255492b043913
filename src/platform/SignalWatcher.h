#pragma once
// Turns the termination signals of a POSIX system (SIGTERM, SIGINT, SIGHUP) into a Qt signal that
// is delivered in the event loop, where the program can close down in order. The handler itself
// only writes one byte to a pipe, which is all a signal handler may safely do.

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace platform {

class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

signals:
    // signalNumber: the POSIX signal that arrived.
    void terminationRequested(int signalNumber);

private:
    void readPipe();
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace platform
