#include "ddns/MyDnsProvider.h"

#include "settings/ConfigUnit.h"

namespace ddns {

std::vector<HostResult> MyDnsProvider::Update(ProviderContext& context, RecordType type,
                                              const std::string& address)
{
    const settings::TConfig& config = context.Config;
    const std::vector<std::string> names =
        context.Hosts.empty() ? std::vector<std::string>{config.DdnsUser} : context.Hosts;
    const auto allHosts = [&names](Verdict verdict, const std::string& answer, int minutes = 0) {
        std::vector<HostResult> results;
        for (const std::string& name : names)
            results.push_back({name, verdict, answer, minutes});
        return results;
    };

    net::HttpRequest request;
    request.Url = BaseUrl(config,
                          type == RecordType::A ? "https://ipv4.mydns.jp/login.html"
                                                : "https://ipv6.mydns.jp/login.html",
                          type);
    request.Headers.emplace_back("Authorization", BasicAuthorization(config.DdnsUser, config.DdnsPass));
    request.TimeOutMs = context.TimeOutMs;
    HostResult refused;
    if (!LeaveFromPublished(request, type, address, refused))
        return allHosts(refused.Outcome, refused.Answer);

    const net::HttpResponse response = context.Http.Send(request);
    HostResult judged;
    if (JudgeTransport(response, judged))
        return allHosts(judged.Outcome, judged.Answer);
    if (response.Status == 200)
        return allHosts(Verdict::Good, "HTTP 200");
    return allHosts(Verdict::Retry, "HTTP " + std::to_string(response.Status));
}

} // namespace ddns
