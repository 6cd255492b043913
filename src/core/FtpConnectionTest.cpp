#include "core/FtpConnectionTest.h"

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

    client.TimeOut = kFtpTestTimeOutMs;
    const std::optional<quint16> port = PortFromText(parameters.PortText);
    if (port) {
        client.Port = *port;
        client.Host = parameters.Server;
        client.UserID = parameters.User;
        client.Password = parameters.Password;
        client.Passive = parameters.Passive;
        try {
            client.Connect();
        } catch (const net::NetError&) {
            stepOk = false;
        }
    }
    if (!port || !stepOk || !client.Connected()) {
        FtpTestResult failed =
            Result(false, true, u8"FTPｻｰﾊﾞｰに接続できませんでした、設定を確認してください。");
        if (tlsAsked && !tlsFailure.empty())
            failed.Text += "\r\n" + tlsFailure;
        return failed;
    }
    const bool encrypted = client.Encrypted();

    FtpTestResult result = Result(true, false, u8"FTPｻｰﾊﾞｰへの接続に成功しました。");
    if (!parameters.Directory.empty()) {
        stepOk = false;
        try {
            client.ChangeDirectory(parameters.Directory);
        } catch (const net::NetError&) {
            stepOk = false;
        }
        result = stepOk
                     ? Result(true, false, u8"FTPｻｰﾊﾞｰへの接続に成功しました、ﾃﾞｨﾚｸﾄﾘにもｱｸｾｽできました。")
                     : Result(false, true, u8"FTPｻｰﾊﾞｰには接続できましたが、ﾃﾞｨﾚｸﾄﾘにｱｸｾｽできませんでした。");
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
