#include "core/StatusPageProcess.h"

#include "core/StatusPageBody.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace core {

namespace {

// The first line of the child's output tells how the load ended; the body markup follows it.
constexpr qsizetype kMaxOutcomeLine = 64 * 1024;

} // namespace

QByteArray EncodeFetchOutcome(const FetchOutcome& outcome)
{
    QJsonObject o;
    o.insert(QStringLiteral("httpStatus"), outcome.httpStatus);
    o.insert(QStringLiteral("truncated"), outcome.truncated);
    o.insert(QStringLiteral("error"), outcome.error);
    o.insert(QStringLiteral("scripts"), outcome.scripts);
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

FetchOutcome DecodeFetchOutcome(const QByteArray& line)
{
    const QJsonObject o = QJsonDocument::fromJson(line).object();
    FetchOutcome outcome;
    outcome.httpStatus = o.value(QStringLiteral("httpStatus")).toInt();
    outcome.truncated = o.value(QStringLiteral("truncated")).toBool();
    outcome.error = o.value(QStringLiteral("error")).toString();
    outcome.scripts = o.value(QStringLiteral("scripts")).toBool();
    return outcome;
}

QByteArray EncodeStatusRequest(const StatusRequest& request, int limitMs)
{
    QJsonObject o;
    o.insert(QStringLiteral("url"), request.url.toString(QUrl::FullyEncoded));
    o.insert(QStringLiteral("logon"), request.logon);
    o.insert(QStringLiteral("user"), request.user);
    o.insert(QStringLiteral("password"), request.password);
    o.insert(QStringLiteral("post"), QString::fromLatin1(request.postData.toBase64()));
    o.insert(QStringLiteral("noScript"), request.noScript);
    o.insert(QStringLiteral("limitMs"), limitMs);
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

bool DecodeStatusRequest(const QByteArray& line, StatusRequest& request, int& limitMs)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.trimmed(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject o = document.object();
    request = StatusRequest{};
    request.url = QUrl(o.value(QStringLiteral("url")).toString(), QUrl::StrictMode);
    if (!request.url.isValid())
        return false;
    request.logon = o.value(QStringLiteral("logon")).toBool();
    request.user = o.value(QStringLiteral("user")).toString();
    request.password = o.value(QStringLiteral("password")).toString();
    request.postData = QByteArray::fromBase64(o.value(QStringLiteral("post")).toString().toLatin1());
    request.noScript = o.value(QStringLiteral("noScript")).toBool();
    limitMs = o.value(QStringLiteral("limitMs")).toInt(-1);
    return true;
}

ProcessStatusFetcher::ProcessStatusFetcher(QString program, QStringList arguments)
    : m_program(std::move(program)), m_arguments(std::move(arguments))
{
    if (m_program.isEmpty()) {
        m_program = QCoreApplication::applicationFilePath();
        m_arguments = {QStringLiteral("fetch-status"), QStringLiteral("--engine"),
                       QStringLiteral("--request-stdin")};
    }
}

ProcessStatusFetcher::~ProcessStatusFetcher()
{
    EndChild();
}

void ProcessStatusFetcher::Navigate(const StatusRequest& request)
{
    Stop();
    m_output.clear();
    m_body.clear();
    m_outcome = FetchOutcome{};
    m_busy = true;
    m_process = std::make_unique<QProcess>();
    // The child's messages (the engine's own among them) are not ours to show.
    m_process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(m_process.get(), &QProcess::readyReadStandardOutput, this, [this] { ReadOutput(); });
    QObject::connect(m_process.get(), &QProcess::finished, this,
                     [this](int exitCode, QProcess::ExitStatus status) {
                         Finished(exitCode, status == QProcess::CrashExit);
                     });
    QObject::connect(m_process.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            Finished(-1, true);
    });
    m_process->start(m_program, m_arguments);
    if (m_process)
        m_process->write(EncodeStatusRequest(request, LimitMs));
}

void ProcessStatusFetcher::ReadOutput()
{
    if (!m_process)
        return;
    // The outcome line and a page cut at the usual limit; a child that sends more is not listened to.
    const qint64 room = kMaxOutcomeLine + static_cast<qint64>(kMaxStatusPageBytes) - m_output.size();
    m_output += m_process->read(std::max<qint64>(room, 0));
    if (room <= 0)
        m_process->readAll();
}

void ProcessStatusFetcher::Finished(int exitCode, bool crashed)
{
    if (!m_busy)
        return;
    ReadOutput();
    const QString failure = m_process ? m_process->errorString() : QString();
    EndChild();
    m_busy = false;
    const qsizetype lineEnd = m_output.indexOf('\n');
    if (crashed || lineEnd < 0) {
        m_outcome.error = exitCode == -1 ? failure : QStringLiteral("the browser engine ended without an answer");
        m_output.clear();
        return;
    }
    m_outcome = DecodeFetchOutcome(m_output.left(lineEnd));
    if (exitCode == 0)
        m_body.assign(m_output.constData() + lineEnd + 1, static_cast<size_t>(m_output.size() - lineEnd - 1));
    if (m_body.size() > kMaxStatusPageBytes) {
        m_body.resize(kMaxStatusPageBytes);
        m_outcome.truncated = true;
    }
    m_output.clear();
}

void ProcessStatusFetcher::Stop()
{
    if (!m_busy)
        return;
    EndChild();
    m_busy = false;
    m_output.clear();
    m_body.clear();
    m_outcome.stopped = true;
}

void ProcessStatusFetcher::EndChild()
{
    if (!m_process)
        return;
    // Also called from the process's own signals: the object goes later, not now.
    QProcess* process = m_process.release();
    QObject::disconnect(process, nullptr, this, nullptr);
    if (process->state() != QProcess::NotRunning) {
        // The engine's own helper processes end with it.
        process->kill();
        process->waitForFinished(5000);
    }
    process->deleteLater();
}

} // namespace core
