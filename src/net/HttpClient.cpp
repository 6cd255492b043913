#include "net/HttpClient.h"

#include "net/SocketErrors.h"
#include "platform/TcpConnect.h"
#include "platform/WaitLoop.h"

#include <QDeadlineTimer>
#include <QHostInfo>
#include <QSslSocket>
#include <memory>
#include <optional>

namespace net {

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string Trim(const std::string& text)
{
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return {};
    const size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

// Decodes a chunked body; complete when the last (empty) chunk has come. False when it is malformed.
bool DecodeChunks(const std::string& raw, std::string& body, bool& complete)
{
    body.clear();
    complete = false;
    size_t at = 0;
    while (true) {
        const size_t lineEnd = raw.find("\r\n", at);
        if (lineEnd == std::string::npos)
            return raw.size() - at < 64; // the size line is still coming (a longer one is no size line)
        const std::string sizeText = raw.substr(at, lineEnd - at);
        size_t size = 0;
        size_t digits = 0;
        for (char c : sizeText) {
            int value = -1;
            if (c >= '0' && c <= '9')
                value = c - '0';
            else if (c >= 'a' && c <= 'f')
                value = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                value = c - 'A' + 10;
            if (value < 0)
                break; // chunk extensions follow
            if (++digits > 8)
                return false;
            size = size * 16 + static_cast<size_t>(value);
        }
        if (digits == 0)
            return false;
        if (size == 0) {
            complete = true; // trailers, if any, are of no interest
            return true;
        }
        const size_t dataStart = lineEnd + 2;
        if (raw.size() < dataStart + size + 2)
            return true; // the chunk is still coming
        body.append(raw, dataStart, size);
        at = dataStart + size + 2;
    }
}

// The server's address of the family the request wants; null (with the failure set) when none.
QHostAddress Resolve(const HttpRequest& request, const QDeadlineTimer& deadline, const bool& stopped,
                     HttpResponse& response)
{
    const QAbstractSocket::NetworkLayerProtocol family =
        request.Source.isNull() ? request.Family : request.Source.protocol();
    const auto fits = [family](const QHostAddress& a) {
        return family == QAbstractSocket::AnyIPProtocol || a.protocol() == family;
    };
    const QString host = request.Url.host();
    QHostAddress literal;
    if (literal.setAddress(host)) {
        if (fits(literal))
            return literal;
        response.Failure = HttpFailure::Lookup;
        response.FailureText = SocketErrorMessage(SocketErrorNumber(QAbstractSocket::HostNotFoundError));
        return {};
    }
    auto result = std::make_shared<std::optional<QHostInfo>>();
    QObject context;
    const int id = QHostInfo::lookupHost(host, &context, [result](const QHostInfo& info) { *result = info; });
    const platform::WaitResult waited =
        platform::WaitUntil([&result] { return result->has_value(); },
                            static_cast<int>(deadline.remainingTime()), [&stopped] { return stopped; });
    if (waited != platform::WaitResult::Done) {
        QHostInfo::abortHostLookup(id);
        response.Failure =
            waited == platform::WaitResult::Canceled ? HttpFailure::Stopped : HttpFailure::TimedOut;
        response.FailureText = "Connection Timed out";
        return {};
    }
    QList<QHostAddress> addresses;
    for (const QHostAddress& a : (*result)->addresses())
        if (fits(a))
            addresses << a;
    if (addresses.isEmpty()) {
        response.Failure = HttpFailure::Lookup;
        response.FailureText = SocketErrorMessage(SocketErrorNumber(QAbstractSocket::HostNotFoundError));
        return {};
    }
    return platform::PreferredAddress(addresses);
}

std::string RequestText(const HttpRequest& request, const std::string& userAgent)
{
    QByteArray target = request.Url.path(QUrl::FullyEncoded).toUtf8();
    if (target.isEmpty())
        target = "/";
    if (request.Url.hasQuery())
        target += "?" + request.Url.query(QUrl::FullyEncoded).toUtf8();
    std::string text = request.Method + " " + target.toStdString() + " HTTP/1.1\r\n";
    text +=
        "Host: " + request.Url.authority(QUrl::RemoveUserInfo | QUrl::FullyEncoded).toStdString() + "\r\n";
    if (!userAgent.empty())
        text += "User-Agent: " + userAgent + "\r\n";
    text += "Accept: */*\r\nConnection: close\r\n";
    for (const auto& [name, value] : request.Headers)
        text += name + ": " + value + "\r\n";
    if (!request.Body.empty() || request.Method == "POST" || request.Method == "PUT" ||
        request.Method == "PATCH")
        text += "Content-Length: " + std::to_string(request.Body.size()) + "\r\n";
    text += "\r\n";
    return text + request.Body;
}

} // namespace

HttpAnswerParse ParseHttpAnswer(const std::string& bytes, bool ended)
{
    HttpAnswerParse parse;
    const size_t headerEnd = bytes.find("\r\n\r\n");
    if (headerEnd == std::string::npos) {
        parse.Bad = ended && !bytes.empty();
        return parse;
    }
    parse.HeaderComplete = true;
    const std::string head = bytes.substr(0, headerEnd);
    size_t lineEnd = head.find("\r\n");
    const std::string statusLine = head.substr(0, lineEnd);
    if (statusLine.rfind("HTTP/1.", 0) != 0 || statusLine.size() < 12 || statusLine[8] != ' ') {
        parse.Bad = true;
        return parse;
    }
    for (size_t i = 9; i < 12; ++i) {
        if (statusLine[i] < '0' || statusLine[i] > '9') {
            parse.Bad = true;
            return parse;
        }
        parse.Status = parse.Status * 10 + (statusLine[i] - '0');
    }
    while (lineEnd != std::string::npos) {
        const size_t next = head.find("\r\n", lineEnd + 2);
        const std::string line =
            head.substr(lineEnd + 2, next == std::string::npos ? std::string::npos : next - lineEnd - 2);
        const size_t colon = line.find(':');
        if (colon != std::string::npos)
            parse.Headers[Lower(Trim(line.substr(0, colon)))] = Trim(line.substr(colon + 1));
        lineEnd = next;
    }
    const std::string raw = bytes.substr(headerEnd + 4);
    if (parse.Status == 204 || parse.Status == 304 || parse.Status < 200) {
        parse.Complete = true;
        return parse;
    }
    const auto encoding = parse.Headers.find("transfer-encoding");
    if (encoding != parse.Headers.end() && Lower(encoding->second).find("chunked") != std::string::npos) {
        parse.Bad = !DecodeChunks(raw, parse.Body, parse.Complete);
        return parse;
    }
    const auto length = parse.Headers.find("content-length");
    if (length != parse.Headers.end()) {
        size_t expected = 0;
        for (char c : length->second) {
            if (c < '0' || c > '9' || expected > static_cast<size_t>(kMaxHttpAnswerBytes)) {
                parse.Bad = true;
                return parse;
            }
            expected = expected * 10 + static_cast<size_t>(c - '0');
        }
        parse.Body = raw.substr(0, expected);
        parse.Complete = raw.size() >= expected;
        return parse;
    }
    parse.Body = raw;
    parse.Complete = ended;
    return parse;
}

HttpResponse HttpClient::Send(const HttpRequest& request)
{
    HttpResponse response;
    if (m_stopped) {
        response.Failure = HttpFailure::Stopped;
        response.FailureText = "Stopped";
        return response;
    }
    const QDeadlineTimer deadline(request.TimeOutMs);
    const bool tls = request.Url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const quint16 port = static_cast<quint16>(request.Url.port(tls ? 443 : 80));
    const QHostAddress address = Resolve(request, deadline, m_stopped, response);
    if (address.isNull())
        return response;

    const auto stopped = [this] { return m_stopped; };
    const auto fail = [&response](HttpFailure failure, std::string text) {
        response.Failure = failure;
        response.FailureText = std::move(text);
        return response;
    };
    // One attempt is one connection: a provider that resets the connection sees exactly one.
    platform::TcpConnectAttempt attempt(address, port, request.Source);
    if (!attempt.Finished()) {
        const platform::WaitResult waited = platform::WaitUntil(
            [&attempt] { return attempt.Finished(); }, static_cast<int>(deadline.remainingTime()), stopped);
        if (waited == platform::WaitResult::Canceled)
            return fail(HttpFailure::Stopped, "Stopped");
        if (waited == platform::WaitResult::TimedOut)
            return fail(HttpFailure::TimedOut, "Connection Timed out");
    }
    if (attempt.Error() != 0)
        return fail(HttpFailure::Connect, SocketErrorMessage(SocketErrorNumberFromSystem(attempt.Error())));
    auto socket = std::make_unique<QSslSocket>();
    if (!socket->setSocketDescriptor(attempt.Take(), QAbstractSocket::ConnectedState))
        return fail(HttpFailure::Connect, socket->errorString().toStdString());

    if (tls) {
        TlsHandshake handshake(*socket,
                               TlsPeer{request.Url.host().toStdString(), port, Trust, MayAskTrust, {}});
        const platform::WaitResult waited =
            platform::WaitUntil([&handshake] { return handshake.Finished(); },
                                static_cast<int>(deadline.remainingTime()), stopped);
        if (!handshake.Succeeded()) {
            socket->abort();
            if (waited == platform::WaitResult::Canceled)
                return fail(HttpFailure::Stopped, "Stopped");
            return fail(handshake.CertificateRefused() ? HttpFailure::Certificate : HttpFailure::Tls,
                        handshake.FailureText());
        }
    }

    const std::string text = RequestText(request, UserAgent);
    socket->write(text.data(), static_cast<qint64>(text.size()));

    std::string received;
    bool ended = false;
    HttpAnswerParse parse;
    const auto take = [&] {
        const qint64 room = kMaxHttpAnswerBytes - static_cast<qint64>(received.size());
        if (room > 0 && socket->bytesAvailable() > 0)
            received += socket->read(room).toStdString();
        ended = ended || socket->state() != QAbstractSocket::ConnectedState;
        parse = ParseHttpAnswer(received, ended);
        return parse.Complete || parse.Bad || ended ||
               received.size() >= static_cast<size_t>(kMaxHttpAnswerBytes);
    };
    const platform::WaitResult waited =
        platform::WaitUntil(take, static_cast<int>(deadline.remainingTime()), stopped);
    socket->abort();
    if (waited == platform::WaitResult::Canceled)
        return fail(HttpFailure::Stopped, "Stopped");
    if (parse.Bad)
        return fail(HttpFailure::BadReply, "Bad HTTP answer");
    if (!parse.Complete && received.size() >= static_cast<size_t>(kMaxHttpAnswerBytes) &&
        parse.HeaderComplete) {
        response.Truncated = true;
    } else if (!parse.Complete) {
        if (waited == platform::WaitResult::TimedOut)
            return fail(HttpFailure::TimedOut, "Connection Timed out");
        return fail(HttpFailure::Dropped, SocketErrorMessage(kErrConnectionReset));
    }
    response.Status = parse.Status;
    response.Headers = std::move(parse.Headers);
    response.Body = std::move(parse.Body);
    return response;
}

} // namespace net
