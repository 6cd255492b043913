#include "ddns/Dyndns2Provider.h"

#include "settings/ConfigUnit.h"

namespace ddns {

namespace {

// The provider's trouble, not the client's: the protocol asks for a long pause.
constexpr int kProviderTroubleMinutes = 30;

bool StartsWith(const std::string& text, const char* word)
{
    const std::string w = word;
    return text.compare(0, w.size(), w) == 0 && (text.size() == w.size() || text[w.size()] == ' ');
}

} // namespace

QUrl Dyndns2ServerUrl(const std::string& server)
{
    QString text = QString::fromLatin1(server).trimmed();
    if (text.isEmpty())
        return {};
    if (!text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) &&
        !text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        text = QStringLiteral("https://") + text;
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return {};
    url.setPath({});
    url.setQuery(QString());
    return url;
}

HostResult JudgeDyndns2Answer(const std::string& host, const std::string& body)
{
    HostResult result{host, Verdict::Retry, OneLine(body), 0};
    // The answer for one host is its first line.
    std::string line = body.substr(0, body.find_first_of("\r\n"));
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    if (StartsWith(line, "good"))
        result.Outcome = Verdict::Good;
    else if (StartsWith(line, "nochg"))
        result.Outcome = Verdict::NoChange;
    else if (StartsWith(line, "badauth") || StartsWith(line, "nohost") || StartsWith(line, "notfqdn") ||
             StartsWith(line, "abuse") || StartsWith(line, "badagent") || StartsWith(line, "!donator") ||
             StartsWith(line, "numhost") || StartsWith(line, "!yours") || StartsWith(line, "badsys"))
        result.Outcome = Verdict::Fatal;
    else if (StartsWith(line, "911") || StartsWith(line, "dnserr"))
        result.RetryMinutes = kProviderTroubleMinutes;
    // Anything else is no answer of the protocol: tried again later, with the back-off.
    return result;
}

std::vector<HostResult> Dyndns2Provider::Update(ProviderContext& context, RecordType type,
                                                const std::string& address)
{
    const settings::TConfig& config = context.Config;
    QUrl base = config.DdnsTestURL.empty() ? Dyndns2ServerUrl(config.DdnsServer) : BaseUrl(config, "", type);
    std::vector<HostResult> results;
    for (const std::string& host : context.Hosts) {
        net::HttpRequest request;
        request.Url = base;
        request.Url.setPath(QStringLiteral("/nic/update"));
        request.Url.setQuery(QStringLiteral("hostname=") + QueryValue(host) + QStringLiteral("&myip=") +
                                 QueryValue(address),
                             QUrl::StrictMode);
        request.Headers.emplace_back("Authorization", BasicAuthorization(config.DdnsUser, config.DdnsPass));
        request.TimeOutMs = context.TimeOutMs;
        const net::HttpResponse response = context.Http.Send(request);
        HostResult result{host};
        if (!JudgeTransport(response, result)) {
            result = JudgeDyndns2Answer(host, response.Body);
            if (response.Status != 200 && result.Outcome != Verdict::Fatal)
                result = {host, Verdict::Retry,
                          "HTTP " + std::to_string(response.Status) + " " + OneLine(response.Body), 0};
        }
        results.push_back(result);
        // Once the provider refuses or is in trouble, more requests only add to it.
        if (result.Outcome == Verdict::Fatal || result.Outcome == Verdict::Retry)
            break;
    }
    return results;
}

} // namespace ddns
