#include "ddns/Rfc2136Settings.h"

#include "ddns/DdnsUpdater.h"
#include "ddns/DnsUpdateMessage.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"

#include <QByteArray>
#include <QHostAddress>

namespace ddns {

namespace {

using text::Sjis;

std::string Lower(std::string name)
{
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return name;
}

std::string WithoutDot(std::string name)
{
    if (!name.empty() && name.back() == '.')
        name.pop_back();
    return name;
}

std::string TrimmedText(const std::string& text)
{
    return QString::fromLatin1(text).trimmed().toLatin1().toStdString();
}

// A secret pasted from a key file may carry blanks; they are no part of base64.
std::string SecretOf(const std::string& token)
{
    std::string secret;
    for (const char c : token)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            secret += c;
    return secret;
}

bool DecodesAsBase64(const std::string& secret)
{
    const auto decoded = QByteArray::fromBase64Encoding(QByteArray::fromStdString(secret),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    return decoded.decodingStatus == QByteArray::Base64DecodingStatus::Ok && !decoded.decoded.isEmpty();
}

} // namespace

bool IsRfc2136(const std::string& provider)
{
    return Lower(provider) == "rfc2136";
}

bool ParseDnsServer(const std::string& text, QString& host, quint16& port)
{
    const QString server = QString::fromLatin1(text).trimmed();
    QString portText;
    port = 53;
    QHostAddress bare;
    if (server.startsWith(u'[')) {
        const qsizetype close = server.indexOf(u']');
        if (close < 0)
            return false;
        host = server.mid(1, close - 1);
        const QString rest = server.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(u':'))
            return false;
        portText = rest.mid(1);
        if (rest == QStringLiteral(":"))
            return false;
    } else if (bare.setAddress(server) || server.count(u':') != 1) {
        host = server; // an IPv6 address without a port, or a name (a second ':' is refused below)
    } else {
        host = server.section(u':', 0, 0);
        portText = server.section(u':', 1);
        if (portText.isEmpty())
            return false;
    }
    if (host.isEmpty() || host.contains(u' ') || (host.contains(u':') && !bare.setAddress(host)))
        return false;
    if (!portText.isEmpty()) {
        bool ok = false;
        const uint number = portText.toUInt(&ok);
        if (!ok || number == 0 || number > 65535)
            return false;
        port = static_cast<quint16>(number);
    }
    return true;
}

bool InZone(const std::string& host, const std::string& zone)
{
    const std::string h = Lower(WithoutDot(TrimmedText(host)));
    const std::string z = Lower(WithoutDot(TrimmedText(zone)));
    if (z.empty() || h.size() < z.size())
        return false;
    return h == z || (h.size() > z.size() && h.compare(h.size() - z.size(), z.size(), z) == 0 &&
                      h[h.size() - z.size() - 1] == '.');
}

Rfc2136Target Rfc2136TargetOf(const settings::TConfig& config)
{
    Rfc2136Target target;
    ParseDnsServer(config.DdnsServer, target.Host, target.Port);
    target.Zone = Lower(WithoutDot(TrimmedText(config.DdnsZone)));
    target.KeyName = WithoutDot(TrimmedText(config.DdnsKeyName));
    target.Algorithm = TsigAlgorithmName(
        TrimmedText(config.DdnsKeyAlgorithm).empty() ? "hmac-sha256" : TrimmedText(config.DdnsKeyAlgorithm));
    target.Secret = SecretOf(config.DdnsToken);
    return target;
}

Rfc2136Refusal Rfc2136Check(const settings::TConfig& config)
{
    QString host;
    quint16 port = 0;
    if (TrimmedText(config.DdnsServer).empty())
        return {"Server", Sjis(u8"DNSサーバーが未設定です")};
    if (!ParseDnsServer(config.DdnsServer, host, port))
        return {"Server",
                Sjis(u8"DNSサーバー「") + config.DdnsServer +
                    Sjis(u8"」が正しくありません(ホスト名:ポート番号、IPv6アドレスは[ ]で囲みます)")};
    const Rfc2136Target target = Rfc2136TargetOf(config);
    if (target.Zone.empty())
        return {"Zone", Sjis(u8"DNSのゾーンが未設定です")};
    for (const std::string& name : HostsOf(config))
        if (!InZone(name, target.Zone))
            return {"Hosts", Sjis(u8"ホスト名「") + name + Sjis(u8"」はゾーン「") + target.Zone +
                                 Sjis(u8"」にありません")};
    if (target.KeyName.empty())
        return {"KeyName", Sjis(u8"TSIG鍵の名前が未設定です")};
    const std::string given = TrimmedText(config.DdnsKeyAlgorithm);
    if (target.Algorithm.empty())
        return {"KeyAlgorithm",
                Sjis(u8"TSIG鍵の方式「") + given +
                    Sjis(u8"」は使えません(hmac-sha1、hmac-sha256、hmac-sha512のいずれかです)")};
    if (!TsigAlgorithmSigns(target.Algorithm))
        return {"KeyAlgorithm",
                Sjis(u8"TSIG鍵の方式「") + target.Algorithm +
                    Sjis(u8"」にはまだ対応していません。hmac-sha256かhmac-sha512の鍵を使ってください")};
    if (target.Secret.empty())
        return {"Token", Sjis(u8"TSIG鍵の秘密(base64)が未設定です")};
    if (!DecodesAsBase64(target.Secret))
        return {"Token", Sjis(u8"TSIG鍵の秘密がbase64として読めません")};
    return {};
}

std::string Rfc2136Problem(const settings::TConfig& config)
{
    return Rfc2136Check(config).Text;
}

} // namespace ddns
