#include "core/FtpConnectionTest.h"

#include "core/TestFailureText.h"
#include "net/NMFtp.h"
#include "net/NetErrors.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"

#include <charconv>
#include <optional>

namespace core {

namespace {

// The port box's text as a port number: an optional sign and decimal digits, nothing else, in
// the range of a port.
std::optional<quint16> PortFromText(const std::string& text)
{
    std::string_view digits(text);
    while (!digits.empty() && digits.front() == ' ')
        digits.remove_prefix(1);
    while (!digits.empty() && digits.back() == ' ')
        digits.remove_suffix(1);
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    long value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || value < 1 ||
        value > 65535)
        return std::nullopt;
    return static_cast<quint16>(value);
}

FtpTestResult Result(bool success, bool warning, std::u8string_view text)
{
    return {success, warning, text::Sjis(text)};
}

// What went wrong while connecting and logging on.
struct LogOnFailure
{
    bool badPort = false;
    std::string error; // the failure's message (a server's reply line for a refusal)
    int replyCode = 0;
    int socketError = 0;
    std::string tlsFailure;
};

std::string WhyNotConnected(const LogOnFailure& f, int timeOutMs)
{
    using text::Sjis;
    if (f.badPort)
        return Sjis(u8"ﾎﾟｰﾄには1から65535までの整数を入力してください。");
    const std::string reply = IsServerReply(f.error) ? ServerReplyText(f.error) : std::string();
    if (!f.tlsFailure.empty())
        return Sjis(u8"TLSで暗号化できませんでした。") + "\r\n" + f.tlsFailure + reply;
    if (f.replyCode == 530 && !reply.empty())
        return Sjis(u8"ﾕｰｻﾞｰ名かﾊﾟｽﾜｰﾄﾞが違います。") + reply;
    const std::string network = NetworkFailureText(f.error, f.socketError, timeOutMs);
    if (!network.empty())
        return network;
    if (!reply.empty())
        return Sjis(u8"ｻｰﾊﾞｰに断られました。") + reply;
    return Sjis(u8"詳細: ") + f.error;
}

} // namespace

FtpTestParameters FtpTestParametersFrom(const settings::TConfig& config)
{
    FtpTestParameters p;
    p.Server = config.FtpServer;
    p.PortText = std::to_string(config.FtpPort);
    p.User = config.FtpUser;
    p.Password = config.FtpPass;
    p.Directory = config.FtpDir;
    p.Passive = config.FtpPasv != 0;
    p.Security = config.FtpSecurity;
    return p;
}

FtpTestResult RunFtpConnectionTest(net::TNMFTP& client, const FtpTestParameters& parameters)
{
    bool stepOk = false;
    const QMetaObject::Connection onConnect =
        QObject::connect(&client, &net::TNMFTP::OnConnect, [&stepOk] { stepOk = true; });
    const QMetaObject::Connection onSuccess =
        QObject::connect(&client, &net::TNMFTP::OnSuccess, [&stepOk](int) { stepOk = true; });
    std::string tlsFailure;
    const QMetaObject::Connection onTls = QObject::connect(
        &client, &net::TNMFTP::OnTlsFailure, [&tlsFailure](const std::string& text) { tlsFailure = text; });
    struct Disconnector
    {
        QMetaObject::Connection a, b, c;
        ~Disconnector()
        {
            QObject::disconnect(a);
            QObject::disconnect(b);
            QObject::disconnect(c);
        }
    } disconnector{onConnect, onSuccess, onTls};
    client.Security = net::TlsModeOf(parameters.Security);
    const bool tlsAsked = client.Security != net::tlsNone;

    client.TimeOut = parameters.TimeOutMs;
    LogOnFailure failure;
    const QMetaObject::Connection onError = QObject::connect(
        &client, &net::TNMFTP::OnError, [&failure](int number, const std::string&) { failure.socketError = number; });
    const std::optional<quint16> port = PortFromText(parameters.PortText);
    failure.badPort = !port;
    if (port) {
        client.Port = *port;
        client.Host = parameters.Server;
        client.UserID = parameters.User;
        client.Password = parameters.Password;
        client.Passive = parameters.Passive;
        try {
            client.Connect();
        } catch (const net::NetError& e) {
            stepOk = false;
            failure.error = e.what();
            failure.replyCode = client.ReplyCode;
        }
    }
    QObject::disconnect(onError);
    if (!port || !stepOk || !client.Connected()) {
        FtpTestResult failed =
            Result(false, true, u8"FTPｻｰﾊﾞｰに接続できませんでした、設定を確認してください。");
        if (tlsAsked)
            failure.tlsFailure = tlsFailure;
        failed.Text += "\r\n\r\n" + WhyNotConnected(failure, parameters.TimeOutMs);
        return failed;
    }
    const bool encrypted = client.Encrypted();

    FtpTestResult result = Result(true, false, u8"FTPｻｰﾊﾞｰへの接続に成功しました。");
    if (!parameters.Directory.empty()) {
        stepOk = false;
        std::string refusal;
        try {
            client.ChangeDirectory(parameters.Directory);
        } catch (const net::NetError& e) {
            stepOk = false;
            refusal = e.what();
        }
        result = stepOk
                     ? Result(true, false, u8"FTPｻｰﾊﾞｰへの接続に成功しました、ﾃﾞｨﾚｸﾄﾘにもｱｸｾｽできました。")
                     : Result(false, true, u8"FTPｻｰﾊﾞｰには接続できましたが、ﾃﾞｨﾚｸﾄﾘにｱｸｾｽできませんでした。");
        if (!stepOk && IsServerReply(refusal))
            result.Text += ServerReplyText(refusal);
    }
    try {
        client.Disconnect();
    } catch (const net::NetError&) {
        // The test's answer is already known; a refused log-off changes nothing about it.
    }
    if (tlsAsked && encrypted)
        result.Text += text::Sjis(u8"\r\n(TLSで暗号化して接続しました)");
    return result;
}

} // namespace core
