#include "ddns/DuckDnsProvider.h"

#include "settings/ConfigUnit.h"
#include "text/Sjis.h"

#include <QHostAddress>
#include <QStringList>

namespace ddns {

namespace {

std::string SubDomain(const std::string& host)
{
    const std::string suffix = ".duckdns.org";
    if (host.size() > suffix.size() && host.compare(host.size() - suffix.size(), suffix.size(), suffix) == 0)
        return host.substr(0, host.size() - suffix.size());
    return host;
}

} // namespace

HostResult JudgeDuckDnsAnswer(const std::string& body, RecordType type, const std::string& address)
{
    const QStringList lines = QString::fromLatin1(body).split(u'\n');
    const auto line = [&lines](int i) { return lines.value(i).trimmed(); };
    HostResult result{{}, type, Verdict::Retry, body, 0};
    if (line(0) == QLatin1String("KO")) {
        result.Outcome = Verdict::Fatal;
        return result;
    }
    if (line(0) != QLatin1String("OK"))
        return result;
    const QHostAddress shown(line(type == RecordType::A ? 1 : 2));
    if (!shown.isEqual(QHostAddress(QString::fromStdString(address)))) {
        result.Answer += text::Sjis(u8" (送ったアドレス ") + address + text::Sjis(u8" が示されていません)");
        return result;
    }
    if (line(3) == QLatin1String("UPDATED"))
        result.Outcome = Verdict::Good;
    else if (line(3) == QLatin1String("NOCHANGE"))
        result.Outcome = Verdict::NoChange;
    return result;
}

HostResult DuckDnsProvider::UpdateRecord(ProviderContext& context, const std::string& host, RecordType type,
                                         const std::string& address)
{
    const settings::TConfig& config = context.Config;
    const std::string ace = AceHost(host);
    if (ace.empty())
        return {host, type, Verdict::Fatal, text::Sjis(u8"ホスト名が正しくありません: ") + host, 0};
    net::HttpRequest request;
    request.Url = BaseUrl(config, "https://www.duckdns.org/update", type);
    request.Url.setQuery(QStringLiteral("domains=") + QueryValue(SubDomain(ace)) + QStringLiteral("&token=") +
                             QueryValue(config.DdnsToken) +
                             (type == RecordType::A ? QStringLiteral("&ip=") : QStringLiteral("&ipv6=")) +
                             QueryValue(address) + QStringLiteral("&verbose=true"),
                         QUrl::StrictMode);
    request.TimeOutMs = context.TimeOutMs;
    const net::HttpResponse response = context.Http.Send(request);
    HostResult result{host, type};
    if (JudgeTransport(response, result))
        return result;
    if (response.Status != 200)
        return {host, type, Verdict::Retry, "HTTP " + std::to_string(response.Status) + " " + response.Body,
                0};
    return JudgeDuckDnsAnswer(response.Body, type, address);
}

} // namespace ddns
