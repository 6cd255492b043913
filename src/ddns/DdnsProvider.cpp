#include "ddns/DdnsProvider.h"

#include "ddns/CloudflareProvider.h"
#include "ddns/DdoProvider.h"
#include "ddns/DuckDnsProvider.h"
#include "ddns/Dyndns2Provider.h"
#include "ddns/IeServerProvider.h"
#include "ddns/MyDnsProvider.h"
#include "platform/Codepage.h"
#include "platform/LeadByte.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"
#include "text/jconvert.h"

#include <QNetworkInterface>
#include <QStringList>

namespace ddns {

const char* RecordName(RecordType type)
{
    return type == RecordType::A ? "A" : "AAAA";
}

const std::vector<std::string>& ProviderNames()
{
    static const std::vector<std::string> names = {"dyndns2",  "mydns",   "ddo",
                                                   "ieserver", "duckdns", "cloudflare"};
    return names;
}

std::unique_ptr<DdnsProvider> MakeProvider(const std::string& name)
{
    std::string lower = name;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (lower == "dyndns2")
        return std::make_unique<Dyndns2Provider>();
    if (lower == "mydns")
        return std::make_unique<MyDnsProvider>();
    if (lower == "ddo")
        return std::make_unique<DdoProvider>();
    if (lower == "ieserver")
        return std::make_unique<IeServerProvider>();
    if (lower == "duckdns")
        return std::make_unique<DuckDnsProvider>();
    if (lower == "cloudflare")
        return std::make_unique<CloudflareProvider>();
    return nullptr;
}

QUrl BaseUrl(const settings::TConfig& config, const char* ownUrl, RecordType type)
{
    if (config.DdnsTestURL.empty())
        return QUrl(QString::fromLatin1(ownUrl));
    const QStringList urls = QString::fromLatin1(config.DdnsTestURL).split(u',');
    return QUrl(urls.value(type == RecordType::AAAA && urls.size() > 1 ? 1 : 0).trimmed());
}

std::string BasicAuthorization(const std::string& user, const std::string& pass)
{
    return "Basic " + mail::Base64Encode(user + ":" + pass);
}

QString QueryValue(const std::string& value)
{
    return QString::fromLatin1(
        QByteArray(value.data(), static_cast<qsizetype>(value.size())).toPercentEncoding());
}

std::vector<HostResult> DdnsProvider::UpdateHost(ProviderContext& context, const std::string& host,
                                                 const std::vector<Wanted>& records)
{
    std::vector<HostResult> results;
    for (const Wanted& record : records) {
        HostResult result = UpdateRecord(context, host, record.Type, record.Address);
        result.Host = host;
        result.Type = record.Type;
        results.push_back(result);
        // Once the provider refuses or is in trouble, more requests only add to it.
        if (result.Outcome == Verdict::Fatal || result.Outcome == Verdict::Retry)
            break;
    }
    return results;
}

std::string AceHost(const std::string& host)
{
    const QByteArray ace = QUrl::toAce(platform::Cp932ToQString(host));
    return ace.toStdString();
}

std::string WithoutTags(const std::string& page)
{
    // A tag parts words like a blank ("OK.<br>203.0.113.5"); blanks do not pile up.
    std::string text;
    bool inTag = false;
    for (const char c : page) {
        if (c == '<') {
            inTag = true;
            if (!text.empty() && text.back() != ' ')
                text += ' ';
        } else if (c == '>') {
            inTag = false;
        } else if (!inTag && !(c == ' ' && (text.empty() || text.back() == ' '))) {
            text += c;
        }
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string OneLine(const std::string& text)
{
    constexpr size_t kMaxBytes = 120;
    std::string line;
    bool blank = false;
    for (size_t i = 0; i < text.size() && line.size() < kMaxBytes; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) {
            blank = !line.empty();
            continue;
        }
        if (blank) {
            line += ' ';
            blank = false;
        }
        if (platform::IsDBCSLeadByte(byte)) {
            if (i + 1 >= text.size() || line.size() + 2 > kMaxBytes)
                break;
            line += text[i];
            line += text[++i];
            continue;
        }
        line += text[i];
    }
    return line;
}

bool JudgeTransport(const net::HttpResponse& response, HostResult& result)
{
    using text::Sjis;
    switch (response.Failure) {
    case net::HttpFailure::None:
        break;
    case net::HttpFailure::Certificate:
    case net::HttpFailure::Tls:
        result.Outcome = Verdict::Retry;
        result.Answer = response.FailureText;
        return true;
    case net::HttpFailure::Dropped:
        result.Outcome = Verdict::Retry;
        result.Answer = Sjis(u8"応答の途中で接続が切れました");
        return true;
    case net::HttpFailure::TimedOut:
        result.Outcome = Verdict::Retry;
        result.Answer = Sjis(u8"応答がありません");
        return true;
    case net::HttpFailure::Stopped:
        result.Outcome = Verdict::Retry;
        result.Answer = Sjis(u8"中止しました");
        return true;
    default:
        result.Outcome = Verdict::Retry;
        result.Answer = response.FailureText;
        return true;
    }
    if (response.Status == 401 || response.Status == 403) {
        result.Outcome = Verdict::Fatal;
        result.Answer = "HTTP " + std::to_string(response.Status) + Sjis(u8" 認証に失敗しました");
        return true;
    }
    if (response.Status >= 500) {
        result.Outcome = Verdict::Retry;
        result.Answer = "HTTP " + std::to_string(response.Status);
        return true;
    }
    return false;
}

bool LeaveFromPublished(net::HttpRequest& request, RecordType type, const std::string& address,
                        HostResult& failure)
{
    const QHostAddress published(QString::fromLatin1(address));
    if (published.isNull()) {
        failure.Outcome = Verdict::Fatal;
        failure.Answer = text::Sjis(u8"アドレスが正しくありません: ") + address;
        return false;
    }
    request.Family = type == RecordType::A ? QAbstractSocket::IPv4Protocol : QAbstractSocket::IPv6Protocol;
    // Linux answers on every address of 127.0.0.0/8, not only on those the interfaces list.
    if (published.isLoopback() || QNetworkInterface::allAddresses().contains(published)) {
        request.Source = published;
        return true;
    }
    if (type == RecordType::A)
        return true;
    // An IPv6 address is published from the machine that holds it; it has gone meanwhile.
    failure.Outcome = Verdict::Retry;
    failure.Answer = text::Sjis(u8"このマシンのアドレスではありません: ") + address;
    return false;
}

} // namespace ddns
