#include "ddns/IeServerProvider.h"

#include "core/WebPageReader.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"
#include "text/jconvert.h"

#include <QString>

namespace ddns {

HostResult JudgeIeServerAnswer(const std::string& host, const std::string& eucPage,
                               const std::string& address)
{
    using text::Sjis;
    const std::string page = mail::EucToSjis(eucPage);
    const std::string text = WithoutTags(page);
    HostResult result{host, RecordType::A, Verdict::Retry, text, 0};
    // Refusal before success: the error page may show the caller's address as well.
    const bool errorTitle =
        QString::fromLatin1(page).contains(QLatin1String("<title>error"), Qt::CaseInsensitive);
    bool refusalWords = false;
    for (const std::u8string_view refusal : {u8"違います", u8"間違", u8"登録されていません"})
        refusalWords = refusalWords || text.find(Sjis(refusal)) != std::string::npos;
    if (errorTitle || refusalWords) {
        result.Outcome = Verdict::Fatal;
        return result;
    }
    if (core::PageShowsAddress(text, address))
        result.Outcome = Verdict::Good;
    return result;
}

HostResult IeServerProvider::UpdateRecord(ProviderContext& context, const std::string& host, RecordType type,
                                          const std::string& address)
{
    const settings::TConfig& config = context.Config;
    const std::string ace = AceHost(host);
    const size_t dot = ace.find('.');
    HostResult result{host, type};
    if (dot == std::string::npos || dot == 0 || dot + 1 >= ace.size()) {
        result.Outcome = Verdict::Fatal;
        result.Answer = text::Sjis(u8"ホスト名はサブドメイン.ドメインの形で指定してください");
        return result;
    }
    net::HttpRequest request;
    request.Url = BaseUrl(config, "https://ieserver.net/cgi-bin/dip.cgi", type);
    request.Url.setQuery(QStringLiteral("username=") + QueryValue(ace.substr(0, dot)) +
                             QStringLiteral("&domain=") + QueryValue(ace.substr(dot + 1)) +
                             QStringLiteral("&password=") + QueryValue(config.DdnsPass) +
                             QStringLiteral("&updatehost=1"),
                         QUrl::StrictMode);
    request.TimeOutMs = context.TimeOutMs;
    if (!LeaveFromPublished(request, type, address, result))
        return result;
    const net::HttpResponse response = context.Http.Send(request);
    if (JudgeTransport(response, result))
        return result;
    result = JudgeIeServerAnswer(host, response.Body, address);
    if (response.Status != 200 && result.Outcome == Verdict::Good)
        result.Outcome = Verdict::Retry;
    return result;
}

} // namespace ddns
