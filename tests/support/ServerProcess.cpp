#include "support/ServerProcess.h"

#include "TestPaths.h"
#include "platform/WaitLoop.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>

namespace testsupport {

QString ServerScript(const QString& name)
{
    return QStringLiteral(QUILLMAP_TESTS_DIR "/servers/") + name;
}

bool StartInjectingProxy(ServerProcess& proxy, quint16 upstream, const QString& lines)
{
    return proxy.startPython(
        QStringLiteral("inject_proxy.py"),
        {QStringLiteral("--upstream"), QString::number(upstream), QStringLiteral("--inject"), lines});
}

ServerProcess::~ServerProcess()
{
    stop();
}

bool ServerProcess::start(const QString& program, const QStringList& args, int timeoutMs)
{
    stop();
    m_process = std::make_unique<QProcess>();
    m_process->setProgram(program);
    m_process->setArguments(args);
    m_process->start();
    if (!m_process->waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(program, m_process->errorString());
        return false;
    }
    QByteArray pending;
    bool exited = false;
    QObject::connect(m_process.get(), &QProcess::finished, [&exited] { exited = true; });
    const auto done = [&] {
        pending += m_process->readAllStandardOutput();
        m_stderr += m_process->readAllStandardError();
        int nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(nl)).trimmed();
            pending.remove(0, nl + 1);
            const int space = line.indexOf(u' ');
            if (space <= 0)
                continue;
            const QString key = line.left(space);
            const QString val = line.mid(space + 1);
            m_values[key] = val;
            if (key == QLatin1String("PORT"))
                m_port = static_cast<quint16>(val.toUInt());
        }
        return m_port != 0;
    };
    const auto result = platform::WaitUntil(done, timeoutMs, [&exited] { return exited; });
    QObject::disconnect(m_process.get(), &QProcess::finished, nullptr, nullptr);
    if (result == platform::WaitResult::Done)
        return true;
    m_stderr += m_process->readAllStandardError();
    m_error = QStringLiteral("%1 did not report its port (%2): %3")
                  .arg(program, exited ? QStringLiteral("exited") : QStringLiteral("timed out"),
                       QString::fromUtf8(m_stderr));
    return false;
}

bool ServerProcess::startPython(const QString& scriptName, const QStringList& args, int timeoutMs)
{
    return start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral("-u"), ServerScript(scriptName)} + args, timeoutMs);
}

QString ServerProcess::value(const QString& key) const
{
    const auto it = m_values.find(key);
    return it == m_values.end() ? QString() : it->second;
}

QString ServerProcess::errorOutput()
{
    if (m_process)
        m_stderr += m_process->readAllStandardError();
    return QString::fromUtf8(m_stderr);
}

void ServerProcess::send(const QByteArray& line)
{
    if (m_process) {
        m_process->write(line);
        m_process->waitForBytesWritten(2000);
    }
}

QByteArray ServerProcess::httpGet(const QString& pathAndQuery, int timeoutMs) const
{
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkReply* reply = manager.get(
        QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(pathAndQuery))));
    platform::WaitUntil([reply] { return reply->isFinished(); }, timeoutMs);
    const QByteArray body = reply->isFinished() ? reply->readAll() : QByteArray();
    reply->deleteLater();
    return body;
}

void ServerProcess::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
    m_process.reset();
    m_port = 0;
}

} // namespace testsupport
