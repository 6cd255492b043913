#include "support/FakeServer.h"

#include "platform/WaitLoop.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

namespace testsupport {

FakeServer::Step FakeServer::ParseStep(const QString& line)
{
    const auto rest = [&line](qsizetype n) { return line.mid(n); };
    if (line.startsWith(QLatin1String("C: ")))
        return {StepKind::ClientLine, rest(3), {}, 0};
    if (line.startsWith(QLatin1String("C~ ")))
        return {StepKind::ClientPattern, rest(3),
                QRegularExpression(QRegularExpression::anchoredPattern(rest(3))), 0};
    if (line.startsWith(QLatin1String("S: ")))
        return {StepKind::ServerLine, rest(3), {}, 0};
    if (line.startsWith(QLatin1String("S= ")))
        return {StepKind::ServerRaw, rest(3), {}, 0};
    if (line == QLatin1String("CLOSE"))
        return {StepKind::Close, {}, {}, 0};
    if (line == QLatin1String("HOLD"))
        return {StepKind::Hold, {}, {}, 0};
    if (line == QLatin1String("AWAIT-CLOSE"))
        return {StepKind::AwaitClose, {}, {}, 0};
    if (line == QLatin1String("DATA-EOF"))
        return {StepKind::DataEof, {}, {}, 0};
    if (line.startsWith(QLatin1String("DATA-DROP ")))
        return {StepKind::DataDrop, {}, {}, rest(10).toLongLong()};
    ADD_FAILURE() << "FakeServer: transcript line not understood: " << line.toStdString();
    return {StepKind::Hold, {}, {}, 0};
}

FakeServer::FakeServer(const QStringList& transcript)
{
    for (const QString& line : transcript) {
        m_steps.push_back(ParseStep(line));
        m_steps.back().source = line.left(80);
    }
    for (const Step& step : m_steps)
        if (step.kind == StepKind::ClientPattern && !step.pattern.isValid())
            ADD_FAILURE() << "FakeServer: bad pattern " << step.text.toStdString();

    m_server = new QTcpServer(this);
    m_dataServer = new QTcpServer(this);
    if (!m_server->listen(QHostAddress::LocalHost, 0) || !m_dataServer->listen(QHostAddress::LocalHost, 0))
        ADD_FAILURE() << "FakeServer: cannot listen on 127.0.0.1";
    connect(m_server, &QTcpServer::newConnection, this, &FakeServer::OnConnection);
    connect(m_dataServer, &QTcpServer::newConnection, this, &FakeServer::OnDataConnection);
}

FakeServer::~FakeServer()
{
    if (!m_finished)
        Finish(0);
}

quint16 FakeServer::port() const
{
    return m_server->serverPort();
}

quint16 FakeServer::dataPort() const
{
    return m_dataServer->serverPort();
}

void FakeServer::OnConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        ++m_connections;
        if (m_client) {
            Fail(QStringLiteral("a second connection came in"));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_client = socket;
        connect(socket, &QTcpSocket::readyRead, this, &FakeServer::OnClientData);
        connect(socket, &QTcpSocket::disconnected, this, [this] {
            m_clientClosed = true;
            Advance();
        });
        Advance();
    }
}

void FakeServer::OnDataConnection()
{
    while (QTcpSocket* socket = m_dataServer->nextPendingConnection()) {
        if (m_data) {
            Fail(QStringLiteral("a second data connection came in"));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_data = socket;
        connect(socket, &QTcpSocket::readyRead, this, [this] {
            m_dataReceived += m_data->readAll();
            Advance();
        });
        connect(socket, &QTcpSocket::disconnected, this, [this] {
            if (m_data->bytesAvailable() > 0)
                m_dataReceived += m_data->readAll();
            m_dataClosed = true;
            Advance();
        });
        Advance();
    }
}

void FakeServer::OnClientData()
{
    m_input += m_client->readAll();
    Advance();
}

bool FakeServer::TakeClientLine(QString& line)
{
    const qsizetype end = m_input.indexOf('\n');
    if (end < 0)
        return false;
    QByteArray bytes = m_input.left(end);
    m_input.remove(0, end + 1);
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    // Latin-1 keeps every byte as one character, so code page 932 bytes compare as they are.
    line = QString::fromLatin1(bytes);
    m_clientLines << line;
    return true;
}

QByteArray FakeServer::Expand(const QString& text) const
{
    QString expanded = text;
    const quint16 data = dataPort();
    expanded.replace(QLatin1String("{DATA_PORT_HI}"), QString::number(data >> 8));
    expanded.replace(QLatin1String("{DATA_PORT_LO}"), QString::number(data & 0xFF));
    expanded.replace(QLatin1String("{DATA_PORT}"), QString::number(data));
    return expanded.toLatin1();
}

void FakeServer::Fail(const QString& why)
{
    if (m_failed)
        return;
    m_failed = true;
    ADD_FAILURE() << "FakeServer: " << why.toStdString();
    // The client must not wait for answers that will never come.
    if (m_client)
        m_client->abort();
    if (m_data)
        m_data->abort();
}

void FakeServer::Advance()
{
    // Closing a socket reports its close at once, which lands here again: the outer call goes on.
    if (m_advancing)
        return;
    m_advancing = true;
    AdvanceSteps();
    m_advancing = false;
}

void FakeServer::AdvanceSteps()
{
    if (m_failed || !m_client)
        return;
    while (m_pos < m_steps.size()) {
        const Step& step = m_steps[m_pos];
        switch (step.kind) {
        case StepKind::ClientLine:
        case StepKind::ClientPattern: {
            QString line;
            if (!TakeClientLine(line)) {
                if (m_clientClosed)
                    Fail(QStringLiteral("client closed the connection, expected: ") + step.text);
                return;
            }
            const bool match =
                step.kind == StepKind::ClientLine ? line == step.text : step.pattern.match(line).hasMatch();
            if (!match) {
                Fail(QStringLiteral("expected client line \"%1\", got \"%2\"").arg(step.text, line));
                return;
            }
            break;
        }
        case StepKind::ServerLine:
            m_client->write(Expand(step.text) + "\r\n");
            break;
        case StepKind::ServerRaw:
            m_client->write(Expand(step.text));
            break;
        case StepKind::Close:
            m_client->disconnectFromHost();
            break;
        case StepKind::Hold:
            m_holding = true;
            break;
        case StepKind::AwaitClose:
            if (!m_clientClosed)
                return;
            break;
        case StepKind::DataEof:
            if (!m_dataClosed)
                return;
            break;
        case StepKind::DataDrop:
            if (m_dataReceived.size() < step.count)
                return;
            m_data->abort();
            m_dataClosed = true;
            break;
        }
        ++m_pos;
        if (step.kind == StepKind::Hold)
            return;
    }
    if (m_holding) {
        // Recorded, not judged.
        QString line;
        while (TakeClientLine(line)) {
        }
        return;
    }
    QString line;
    if (TakeClientLine(line))
        Fail(QStringLiteral("client line after the end of the transcript: ") + line);
}

QString FakeServer::Remaining() const
{
    QStringList left;
    for (size_t i = m_pos; i < m_steps.size(); ++i)
        left << m_steps[i].source;
    return left.join(QLatin1String(" | "));
}

bool FakeServer::Finish(int timeoutMs)
{
    m_finished = true;
    platform::WaitUntil([this] { return m_failed || m_pos >= m_steps.size(); }, timeoutMs);
    if (!m_failed && m_pos < m_steps.size()) {
        ADD_FAILURE() << "FakeServer: transcript not played to its end; left from step " << m_pos + 1 << ": "
                      << Remaining().toStdString();
        return false;
    }
    return !m_failed;
}

} // namespace testsupport
