#include "ddns/DuckDnsProvider.h"

#include "settings/ConfigUnit.h"

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

std::vector<HostResult> DuckDnsProvider::Update(ProviderContext& context, RecordType type,
                                                const std::string& address)
{
    const settings::TConfig& config = context.Config;
    std::vector<HostResult> results;
    for (const std::string& host : context.Hosts) {
        net::HttpRequest request;
        request.Url = BaseUrl(config, "https://www.duckdns.org/update", type);
        request.Url.setQuery(QStringLiteral("domains=") + QueryValue(SubDomain(host)) +
                                 QStringLiteral("&token=") + QueryValue(config.DdnsToken) +
                                 (type == RecordType::A ? QStringLiteral("&ip=") : QStringLiteral("&ipv6=")) +
                                 QueryValue(address) + QStringLiteral("&verbose=true"),
                             QUrl::StrictMode);
        request.TimeOutMs = context.TimeOutMs;
        const net::HttpResponse response = context.Http.Send(request);
        HostResult result{host};
        if (!JudgeTransport(response, result)) {
            const std::string& body = response.Body;
            result.Answer = OneLine(body);
            if (response.Status == 200 && body.rfind("OK", 0) == 0)
                result.Outcome =
                    body.find("NOCHANGE") != std::string::npos ? Verdict::NoChange : Verdict::Good;
            else if (response.Status == 200 && body.rfind("KO", 0) == 0)
                result.Outcome = Verdict::Fatal;
            else
                result = {host, Verdict::Retry,
                          "HTTP " + std::to_string(response.Status) + " " + OneLine(body), 0};
        }
        results.push_back(result);
        if (result.Outcome == Verdict::Fatal || result.Outcome == Verdict::Retry)
            break;
    }
    return results;
}

} // namespace ddns
