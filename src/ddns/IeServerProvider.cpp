#include "ddns/IeServerProvider.h"

#include "core/WebPageReader.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"
#include "text/jconvert.h"

namespace ddns {

namespace {

// The page's text without its tags, so that words split by markup are found.
std::string WithoutTags(const std::string& page)
{
    std::string text;
    bool inTag = false;
    for (char c : page) {
        if (c == '<')
            inTag = true;
        else if (c == '>')
            inTag = false;
        else if (!inTag)
            text += c;
    }
    return text;
}

} // namespace

HostResult JudgeIeServerAnswer(const std::string& host, const std::string& eucPage,
                               const std::string& address)
{
    using text::Sjis;
    const std::string page = WithoutTags(mail::EucToSjis(eucPage));
    HostResult result{host, Verdict::Retry, OneLine(page), 0};
    if (core::PageShowsAddress(page, address)) {
        result.Outcome = Verdict::Good;
        return result;
    }
    for (const std::u8string_view refusal :
         {u8"違います", u8"間違", u8"登録されていません", u8"認証", u8"エラー"}) {
        if (page.find(Sjis(refusal)) != std::string::npos) {
            result.Outcome = Verdict::Fatal;
            return result;
        }
    }
    return result;
}

std::vector<HostResult> IeServerProvider::Update(ProviderContext& context, RecordType type,
                                                 const std::string& address)
{
    const settings::TConfig& config = context.Config;
    std::vector<HostResult> results;
    for (const std::string& host : context.Hosts) {
        const size_t dot = host.find('.');
        HostResult result{host};
        if (dot == std::string::npos || dot == 0 || dot + 1 >= host.size()) {
            result.Outcome = Verdict::Fatal;
            result.Answer = text::Sjis(u8"ホスト名はサブドメイン.ドメインの形で指定してください");
            results.push_back(result);
            break;
        }
        net::HttpRequest request;
        request.Url = BaseUrl(config, "https://ieserver.net/cgi-bin/dip.cgi", type);
        request.Url.setQuery(QStringLiteral("username=") + QueryValue(host.substr(0, dot)) +
                                 QStringLiteral("&domain=") + QueryValue(host.substr(dot + 1)) +
                                 QStringLiteral("&password=") + QueryValue(config.DdnsPass) +
                                 QStringLiteral("&updatehost=1"),
                             QUrl::StrictMode);
        request.TimeOutMs = context.TimeOutMs;
        if (!LeaveFromPublished(request, type, address, result)) {
            results.push_back(result);
            break;
        }
        const net::HttpResponse response = context.Http.Send(request);
        if (!JudgeTransport(response, result)) {
            result = JudgeIeServerAnswer(host, response.Body, address);
            if (response.Status != 200 && result.Outcome == Verdict::Good)
                result.Outcome = Verdict::Retry;
        }
        results.push_back(result);
        if (result.Outcome == Verdict::Fatal || result.Outcome == Verdict::Retry)
            break;
    }
    return results;
}

} // namespace ddns
