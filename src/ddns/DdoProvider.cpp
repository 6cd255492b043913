#include "ddns/DdoProvider.h"

#include "settings/ConfigUnit.h"

namespace ddns {

std::vector<HostResult> DdoProvider::Update(ProviderContext& context, RecordType type,
                                            const std::string& address)
{
    const settings::TConfig& config = context.Config;
    std::vector<HostResult> results;
    for (const std::string& host : context.Hosts) {
        net::HttpRequest request;
        request.Url = BaseUrl(config, "https://free.ddo.jp/dnsupdate.php", type);
        request.Url.setQuery(QStringLiteral("dn=") + QueryValue(host) + QStringLiteral("&pw=") +
                                 QueryValue(config.DdnsPass) + QStringLiteral("&ip=") + QueryValue(address),
                             QUrl::StrictMode);
        request.Family = QAbstractSocket::IPv4Protocol;
        request.TimeOutMs = context.TimeOutMs;
        const net::HttpResponse response = context.Http.Send(request);
        HostResult result{host};
        if (!JudgeTransport(response, result)) {
            const std::string answer = OneLine(response.Body);
            result.Answer = answer;
            if (response.Status == 200 && answer.rfind("SUCCESS", 0) == 0)
                result.Outcome = Verdict::Good;
            else if (response.Status == 200 && answer.rfind("FAILURE", 0) == 0)
                result.Outcome = Verdict::Fatal;
            else
                result = {host, Verdict::Retry, "HTTP " + std::to_string(response.Status) + " " + answer, 0};
        }
        results.push_back(result);
        if (result.Outcome == Verdict::Fatal || result.Outcome == Verdict::Retry)
            break;
    }
    return results;
}

} // namespace ddns
