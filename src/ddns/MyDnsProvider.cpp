#include "ddns/MyDnsProvider.h"

#include "settings/ConfigUnit.h"

namespace ddns {

HostResult JudgeMyDnsAnswer(const std::string& page)
{
    const std::string text = WithoutTags(page);
    const bool done = text.find("Login and IP address notify OK") != std::string::npos;
    return {{}, RecordType::A, done ? Verdict::Good : Verdict::Fatal, text, 0};
}

HostResult MyDnsProvider::UpdateRecord(ProviderContext& context, const std::string& host, RecordType type,
                                       const std::string& address)
{
    const settings::TConfig& config = context.Config;
    net::HttpRequest request;
    request.Url = BaseUrl(config,
                          type == RecordType::A ? "https://ipv4.mydns.jp/login.html"
                                                : "https://ipv6.mydns.jp/login.html",
                          type);
    request.Headers.emplace_back("Authorization", BasicAuthorization(config.DdnsUser, config.DdnsPass));
    request.TimeOutMs = context.TimeOutMs;
    HostResult result{host, type};
    if (!LeaveFromPublished(request, type, address, result))
        return result;
    const net::HttpResponse response = context.Http.Send(request);
    if (JudgeTransport(response, result))
        return result;
    if (response.Status != 200)
        return {host, type, Verdict::Retry, "HTTP " + std::to_string(response.Status), 0};
    return JudgeMyDnsAnswer(response.Body);
}

} // namespace ddns
