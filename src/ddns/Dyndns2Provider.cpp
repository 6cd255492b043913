#include "ddns/Dyndns2Provider.h"

#include "settings/ConfigUnit.h"
#include "text/Sjis.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>

namespace ddns {

namespace {

using text::Sjis;

// The provider's trouble, not the client's: the protocol asks for a long pause.
constexpr int kProviderTroubleMinutes = 30;

QUrl WithDefaultPath(QUrl url)
{
    if (!url.isValid() || url.host().isEmpty())
        return {};
    if (url.path().isEmpty() || url.path() == QLatin1String("/"))
        url.setPath(QStringLiteral("/nic/update"));
    url.setQuery(QString());
    url.setFragment(QString());
    url.setUserInfo(QString());
    return url;
}

std::vector<HostResult> ForAll(const std::string& host, const std::vector<Wanted>& records, Verdict verdict,
                               const std::string& answer, int minutes = 0)
{
    std::vector<HostResult> results;
    for (const Wanted& record : records)
        results.push_back({host, record.Type, verdict, answer, minutes});
    return results;
}

bool IsWord(const std::string& word, std::initializer_list<const char*> words)
{
    for (const char* w : words)
        if (word == w)
            return true;
    return false;
}

// Whether the answer confirms this record: a bare "good" confirms what was sent; an answer that
// shows addresses must show this one among those of its family.
bool Confirms(const QStringList& shown, const Wanted& record)
{
    const QHostAddress sent(QString::fromStdString(record.Address));
    bool sameFamilyShown = false;
    for (const QString& text : shown) {
        const QHostAddress address(text);
        if (address.protocol() != sent.protocol())
            continue;
        sameFamilyShown = true;
        if (address.isEqual(sent))
            return true;
    }
    return shown.isEmpty() && !sameFamilyShown;
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
    return WithDefaultPath(QUrl(text, QUrl::StrictMode));
}

std::vector<HostResult> JudgeDyndns2Answer(const std::string& host, const std::string& body,
                                           const std::vector<Wanted>& records)
{
    // The answer for one host is its first line: a word, then the address(es) it now holds.
    std::string line = body.substr(0, body.find_first_of("\r\n"));
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    const std::string word = line.substr(0, line.find(' '));
    const QStringList shown =
        QString::fromLatin1(line.size() > word.size() ? line.substr(word.size() + 1) : "")
            .split(QRegularExpression(QStringLiteral("[ ,]+")), Qt::SkipEmptyParts);
    if (word == "good" || word == "nochg") {
        // The documented sign of an ignored request, unless 127.0.0.1 was what was sent.
        if (shown == QStringList{QStringLiteral("127.0.0.1")} &&
            std::none_of(records.begin(), records.end(),
                         [](const Wanted& r) { return r.Address == "127.0.0.1"; }))
            return ForAll(host, records, Verdict::Fatal,
                          line + Sjis(u8" (プロバイダはこの更新を無視しました。サーバー設定がdyndns2互換の"
                                      u8"更新先か確かめ、プロバイダに問い合わせてください)"));
        std::vector<HostResult> results;
        for (const Wanted& record : records) {
            if (Confirms(shown, record))
                results.push_back(
                    {host, record.Type, word == "good" ? Verdict::Good : Verdict::NoChange, line, 0});
            else
                results.push_back(
                    {host, record.Type, Verdict::Retry,
                     line + Sjis(u8" (送ったアドレス ") + record.Address + Sjis(u8" と違います)"), 0});
        }
        return results;
    }
    if (IsWord(word, {"badauth", "nohost", "notfqdn", "abuse", "badagent", "!donator", "numhost", "!yours",
                      "badsys"}))
        return ForAll(host, records, Verdict::Fatal, line);
    if (IsWord(word, {"911", "dnserr"}))
        return ForAll(host, records, Verdict::Retry, line, kProviderTroubleMinutes);
    // Anything else is no answer of the protocol: tried again later, with the back-off.
    return ForAll(host, records, Verdict::Retry, body);
}

std::vector<HostResult> Dyndns2Provider::UpdateHost(ProviderContext& context, const std::string& host,
                                                    const std::vector<Wanted>& records)
{
    const settings::TConfig& config = context.Config;
    if (records.empty())
        return {};
    const QUrl base = config.DdnsTestURL.empty() ? Dyndns2ServerUrl(config.DdnsServer)
                                                 : WithDefaultPath(BaseUrl(config, "", records.front().Type));
    const std::string ace = AceHost(host);
    if (ace.empty())
        return ForAll(host, records, Verdict::Fatal, Sjis(u8"ホスト名が正しくありません: ") + host);
    std::string addresses;
    for (const Wanted& record : records)
        addresses += (addresses.empty() ? "" : ",") + record.Address;
    net::HttpRequest request;
    request.Url = base;
    request.Url.setQuery(QStringLiteral("hostname=") + QueryValue(ace) + QStringLiteral("&myip=") +
                             QueryValue(addresses),
                         QUrl::StrictMode);
    request.Headers.emplace_back("Authorization", BasicAuthorization(config.DdnsUser, config.DdnsPass));
    request.TimeOutMs = context.TimeOutMs;
    const net::HttpResponse response = context.Http.Send(request);
    HostResult transport{host};
    if (JudgeTransport(response, transport))
        return ForAll(host, records, transport.Outcome, transport.Answer);
    std::vector<HostResult> results = JudgeDyndns2Answer(host, response.Body, records);
    if (response.Status != 200 && !results.empty() && results.front().Outcome != Verdict::Fatal)
        return ForAll(host, records, Verdict::Retry,
                      "HTTP " + std::to_string(response.Status) + " " + response.Body);
    return results;
}

HostResult Dyndns2Provider::UpdateRecord(ProviderContext& context, const std::string& host, RecordType type,
                                         const std::string& address)
{
    return UpdateHost(context, host, {{type, address}}).front();
}

} // namespace ddns
