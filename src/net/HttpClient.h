#pragma once
// One HTTP/1.1 request at a time, over plain TCP or TLS, for the web APIs the program calls (the
// dynamic DNS providers). It is small on purpose: one connection per request ("Connection: close"),
// no redirects, no cookies, no proxy, an answer cut at kMaxHttpAnswerBytes. What it has that Qt's
// network access manager lacks: the connection can leave from a chosen source address, it is made
// once (TcpConnectAttempt), and a certificate is judged exactly as for FTP and mail (TlsHandshake
// with the user's trusted certificates). The wait is the shared wait helper's.

#include "net/Tls.h"

#include <QHostAddress>
#include <QObject>
#include <QUrl>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace net {

// More than any provider's answer; a server that sends more is cut off there.
inline constexpr int kMaxHttpAnswerBytes = 256 * 1024;

struct HttpRequest
{
    std::string Method = "GET";
    // http:// or https://; the path and query as they are to be sent (already percent-encoded).
    QUrl Url;
    // Further header lines (name, value), such as Authorization or Content-Type.
    std::vector<std::pair<std::string, std::string>> Headers;
    std::string Body;
    // The address the connection leaves from; null: the system chooses. Its family also chooses
    // which of the server's addresses is used.
    QHostAddress Source;
    // Without a source: which family of the server's addresses to use (IPv4 where it can, as the
    // rest of the program, unless told otherwise).
    QAbstractSocket::NetworkLayerProtocol Family = QAbstractSocket::AnyIPProtocol;
    int TimeOutMs = 20000;
};

enum class HttpFailure {
    None,
    Lookup,      // the server's name gave no address (of the family asked for)
    Connect,     // the connection could not be made (refused, unreachable, source not usable)
    Tls,         // the TLS handshake failed
    Certificate, // the server's certificate was not confirmed
    TimedOut,
    Dropped,  // the connection ended before a whole answer had come
    Stopped,  // Stop() was called
    BadReply, // not an HTTP answer
};

struct HttpResponse
{
    HttpFailure Failure = HttpFailure::None;
    // For a failure: the socket error text ("10061:Connection refused") or the TLS row (code page 932).
    std::string FailureText;
    int Status = 0;
    // Header names in lower case; a repeated header keeps its last value.
    std::map<std::string, std::string> Headers;
    std::string Body;
    bool Truncated = false;

    bool Ok() const { return Failure == HttpFailure::None; }
};

class HttpClient : public QObject
{
public:
    // Who decides about a certificate that the system does not vouch for, and whether it may ask a
    // person (only where one is present).
    TlsTrust* Trust = nullptr;
    bool MayAskTrust = false;
    // Sent with every request.
    std::string UserAgent;

    // Sends the request and waits for the whole answer (at most TimeOutMs in all).
    HttpResponse Send(const HttpRequest& request);
    // Ends a Send that waits, and every Send after it, with HttpFailure::Stopped: a run of several
    // requests that is stopped sends none of the rest. Resume lets the next ones go again.
    void Stop() { m_stopped = true; }
    void Resume() { m_stopped = false; }
    // Whether Stop was called: other transports of the same run (a DNS update) end on it too.
    bool Stopped() const { return m_stopped; }

private:
    bool m_stopped = false;
};

// The parts of an answer received so far; complete when the answer's own framing says so (its length,
// its last chunk) or, without either, when the connection has ended (ended). Exposed for the tests.
struct HttpAnswerParse
{
    bool HeaderComplete = false;
    bool Complete = false;
    bool Bad = false;
    int Status = 0;
    std::map<std::string, std::string> Headers;
    std::string Body;
};
HttpAnswerParse ParseHttpAnswer(const std::string& bytes, bool ended);

} // namespace net
