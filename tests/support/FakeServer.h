#pragma once
// A scripted server on 127.0.0.1 (ephemeral port) for the replies no real server gives: it plays
// a transcript against one client connection and fails the test on the first line the client
// sends that the transcript does not expect, and on transcript lines left unused.
//
// It runs in the test's own thread: it acts on socket signals, which are delivered while the
// client under test waits in its event loop. Nothing in it blocks; Finish() waits with a bound.
//
// Transcript steps, one per line:
//   "C: text"      the client sends the line "text" (compared exactly, without its CR LF)
//   "C~ regex"     the client sends a line matching the regular expression as a whole
//   "S: text"      the server sends "text" CR LF
//   "S= text"      the server sends "text" as it is, without a line end
//   "CLOSE"        the server closes the connection (after what it has sent)
//   "HOLD"         the server stops answering; the transcript ends here and the connection stays
//                  open, whatever the client sends from now on is only recorded
//   "AWAIT-CLOSE"  waits until the client has closed the connection
// Extras for protocols with a second connection for data (a listener on 127.0.0.1 that accepts
// one connection and records everything that arrives on it):
//   "DATA-EOF"     waits until the data connection has come and the client has closed it
//   "DATA-DROP n"  waits until n bytes have arrived on the data connection, then drops it
// In server lines, {DATA_PORT}, {DATA_PORT_HI} and {DATA_PORT_LO} stand for the data listener's
// port and its high and low byte.

#include <QByteArray>
#include <QObject>
#include <QRegularExpression>
#include <QStringList>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace testsupport {

class FakeServer : public QObject
{
    Q_OBJECT
public:
    explicit FakeServer(const QStringList& transcript);
    ~FakeServer() override;

    quint16 port() const;
    quint16 dataPort() const;
    // Everything that arrived on the data connection.
    QByteArray dataReceived() const { return m_dataReceived; }
    // Every line the client sent, without line ends.
    QStringList clientLines() const { return m_clientLines; }
    // How many connections came to the main port.
    int connections() const { return m_connections; }

    // Waits at most timeoutMs for the transcript to be played to its end. Fails the test (and
    // returns false) when it was not, or when the client strayed from it.
    bool Finish(int timeoutMs = 5000);

private:
    enum class StepKind {
        ClientLine,
        ClientPattern,
        ServerLine,
        ServerRaw,
        Close,
        Hold,
        AwaitClose,
        DataEof,
        DataDrop,
    };
    struct Step
    {
        StepKind kind;
        QString text;
        QRegularExpression pattern;
        qint64 count = 0;
        QString source = {};
    };

    static Step ParseStep(const QString& line);
    void OnConnection();
    void OnDataConnection();
    void OnClientData();
    void Advance();
    void AdvanceSteps();
    bool TakeClientLine(QString& line);
    QByteArray Expand(const QString& text) const;
    void Fail(const QString& why);
    QString Remaining() const;

    std::vector<Step> m_steps;
    size_t m_pos = 0;
    QTcpServer* m_server = nullptr;
    QTcpServer* m_dataServer = nullptr;
    QTcpSocket* m_client = nullptr;
    QTcpSocket* m_data = nullptr;
    QByteArray m_input;
    QByteArray m_dataReceived;
    QStringList m_clientLines;
    int m_connections = 0;
    bool m_clientClosed = false;
    bool m_dataClosed = false;
    bool m_holding = false;
    bool m_failed = false;
    bool m_finished = false;
    bool m_advancing = false;
};

} // namespace testsupport
