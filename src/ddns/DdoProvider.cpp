#include "ddns/DdoProvider.h"

#include "settings/ConfigUnit.h"
#include "text/Sjis.h"
#include "text/jconvert.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace ddns {

namespace {

// Whether the text shows an IPv4 address other than this one (and not this one).
bool ShowsOtherAddress(const std::string& text, const std::string& address)
{
    static const QRegularExpression dotted(QStringLiteral("(?<![0-9.])\\d{1,3}(?:\\.\\d{1,3}){3}(?![0-9.])"));
    bool other = false;
    for (const QRegularExpressionMatch& match : dotted.globalMatch(QString::fromLatin1(text))) {
        if (QHostAddress(match.captured()).isEqual(QHostAddress(QString::fromStdString(address))))
            return false;
        other = true;
    }
    return other;
}

} // namespace

HostResult JudgeDdoAnswer(const std::string& host, const std::string& eucBody, const std::string& address)
{
    const std::string text = WithoutTags(mail::EucToSjis(eucBody));
    const size_t start = text.find_first_not_of(" \t\r\n");
    const std::string answer = start == std::string::npos ? std::string() : text.substr(start);
    HostResult result{host, RecordType::A, Verdict::Retry, answer, 0};
    if (answer.rfind("SUCCESS", 0) == 0) {
        if (ShowsOtherAddress(answer, address))
            result.Answer += text::Sjis(u8" (送ったアドレス ") + address + text::Sjis(u8" と違います)");
        else
            result.Outcome = Verdict::Good;
    } else if (answer.rfind("FAILURE", 0) == 0) {
        result.Outcome = Verdict::Fatal;
    }
    return result;
}

HostResult DdoProvider::UpdateRecord(ProviderContext& context, const std::string& host, RecordType type,
                                     const std::string& address)
{
    const settings::TConfig& config = context.Config;
    const std::string ace = AceHost(host);
    if (ace.empty())
        return {host, type, Verdict::Fatal, text::Sjis(u8"ホスト名が正しくありません: ") + host, 0};
    net::HttpRequest request;
    request.Url = BaseUrl(config, "https://free.ddo.jp/dnsupdate.php", type);
    request.Url.setQuery(QStringLiteral("dn=") + QueryValue(ace) + QStringLiteral("&pw=") +
                             QueryValue(config.DdnsPass) + QStringLiteral("&ip=") + QueryValue(address),
                         QUrl::StrictMode);
    request.Family = QAbstractSocket::IPv4Protocol;
    request.TimeOutMs = context.TimeOutMs;
    const net::HttpResponse response = context.Http.Send(request);
    HostResult result{host, type};
    if (JudgeTransport(response, result))
        return result;
    if (response.Status != 200)
        return {host, type, Verdict::Retry,
                "HTTP " + std::to_string(response.Status) + " " + mail::EucToSjis(response.Body), 0};
    return JudgeDdoAnswer(host, response.Body, address);
}

} // namespace ddns
