#include "ddns/DdnsUpdater.h"

#include "core/Version.h"
#include "ddns/Rfc2136Settings.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"
#include "text/VB.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <QUrl>
#include <algorithm>

namespace ddns {

namespace {

using text::Sjis;

constexpr int kMaxBackOffMinutes = 60;

std::string Trimmed(const std::string& text)
{
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

std::string TimeText(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs).toStdString();
}

QDateTime TimeOf(const std::string& text)
{
    return text.empty() ? QDateTime() : QDateTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs);
}

// A secret, as it is and as a query carries it, becomes "****" wherever an answer echoes it.
std::string Masked(std::string text, const settings::TConfig& config)
{
    for (const std::string* secret : {&config.DdnsPass, &config.DdnsToken}) {
        if (secret->empty())
            continue;
        const QByteArray encoded = QByteArray::fromStdString(*secret).toPercentEncoding();
        for (const std::string& form : {*secret, encoded.toStdString()})
            for (size_t at = text.find(form); at != std::string::npos; at = text.find(form, at + 4))
                text.replace(at, form.size(), "****");
    }
    return text;
}

void ResetState(settings::TConfig& config, const std::string& key)
{
    config.DdnsSentA.clear();
    config.DdnsSentAAAA.clear();
    config.DdnsUpdated.clear();
    config.DdnsStopped = 0;
    config.DdnsStopReason.clear();
    config.DdnsRetryAt.clear();
    config.DdnsFailures = 0;
    config.DdnsStateOf = key;
}

std::string& SentOf(settings::TConfig& config, RecordType type)
{
    return type == RecordType::A ? config.DdnsSentA : config.DdnsSentAAAA;
}

bool ValidAddress(const std::string& address, RecordType type)
{
    QHostAddress parsed;
    if (!parsed.setAddress(QString::fromLatin1(address)))
        return false;
    return parsed.protocol() ==
           (type == RecordType::A ? QAbstractSocket::IPv4Protocol : QAbstractSocket::IPv6Protocol);
}

std::string JoinHosts(const std::vector<HostResult>& results)
{
    std::string joined;
    for (const HostResult& r : results)
        joined += (joined.empty() ? "" : ",") + r.Host;
    return joined;
}

// What one record's run adds to the row: done, failed or refused.
struct RecordReport
{
    Verdict Outcome = Verdict::Good;
    std::string Text;
};

} // namespace

std::vector<RecordType> RecordsOf(const settings::TConfig& config)
{
    switch (config.DdnsRecords) {
    case 6:
        return {RecordType::AAAA};
    case 46:
        return {RecordType::A, RecordType::AAAA};
    default:
        return {RecordType::A};
    }
}

std::vector<std::string> HostsOf(const settings::TConfig& config)
{
    std::vector<std::string> hosts;
    for (const std::string& part : text::SplitText(config.DdnsHosts, ",", false)) {
        const std::string host = Trimmed(part);
        if (!host.empty())
            hosts.push_back(host);
    }
    return hosts;
}

std::string DdnsSettingsKey(const settings::TConfig& c)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const std::string* part : {&c.DdnsProvider, &c.DdnsHosts, &c.DdnsUser, &c.DdnsPass, &c.DdnsToken,
                                    &c.DdnsServer, &c.DdnsTestURL}) {
        hash.addData(QByteArray::fromStdString(*part));
        hash.addData(QByteArrayView("\n", 1));
    }
    // The own server's keys count only for it, so that the state other providers learned before
    // these keys existed still belongs to their settings.
    if (IsRfc2136(c.DdnsProvider))
        for (const std::string* part : {&c.DdnsZone, &c.DdnsKeyName, &c.DdnsKeyAlgorithm}) {
            hash.addData(QByteArray::fromStdString(*part));
            hash.addData(QByteArrayView("\n", 1));
        }
    hash.addData(QByteArray::number(c.DdnsRecords));
    return hash.result().toHex().left(16).toStdString();
}

std::string DdnsSettingsProblem(const settings::TConfig& c)
{
    const std::unique_ptr<DdnsProvider> provider = MakeProvider(c.DdnsProvider);
    if (!provider)
        return Sjis(u8"DDNSのプロバイダ「") + c.DdnsProvider + Sjis(u8"」は使えません");
    if (provider->NeedsHosts() && HostsOf(c).empty())
        return Sjis(u8"DDNSのホスト名が未設定です");
    const std::vector<RecordType> records = RecordsOf(c);
    if (!provider->SupportsAAAA() &&
        std::find(records.begin(), records.end(), RecordType::AAAA) != records.end())
        return Sjis(u8"このプロバイダはAAAAレコードの更新に対応していません");
    std::string lower = c.DdnsProvider;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char ch) { return static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch); });
    if ((lower == "duckdns" || lower == "cloudflare") && c.DdnsToken.empty())
        return Sjis(u8"DDNSのトークンが未設定です");
    if ((lower == "dyndns2" || lower == "mydns") && c.DdnsUser.empty())
        return Sjis(u8"DDNSのユーザー名が未設定です");
    if ((lower == "dyndns2" || lower == "mydns" || lower == "ddo" || lower == "ieserver") &&
        c.DdnsPass.empty())
        return Sjis(u8"DDNSのパスワードが未設定です");
    if (lower == "dyndns2" && c.DdnsTestURL.empty() && Trimmed(c.DdnsServer).empty())
        return Sjis(u8"DDNSサーバーが未設定です");
    if (lower == "rfc2136")
        return Rfc2136Problem(c);
    return {};
}

int BackOffMinutes(int failures)
{
    int minutes = 1;
    for (int i = 1; i < failures && minutes < kMaxBackOffMinutes; ++i)
        minutes *= 2;
    return std::min(minutes, kMaxBackOffMinutes);
}

DdnsUpdater::DdnsUpdater()
{
    m_http.UserAgent = std::string("Quillmap/") + core::kVersionText;
}

void DdnsUpdater::SetTrust(net::TlsTrust* trust, bool mayAsk)
{
    m_http.Trust = trust;
    m_http.MayAskTrust = mayAsk;
}

DdnsResult DdnsUpdater::Run(settings::TConfig& config, const DdnsOptions& options)
{
    DdnsResult result;
    m_http.Resume();
    const QDateTime now = Now();
    const std::string key = DdnsSettingsKey(config);
    // New settings: whatever was learned about the old ones (a stop, a back-off) no longer holds.
    if (config.DdnsStateOf != key && !options.DryRun)
        ResetState(config, key);

    const auto finish = [&](std::vector<RecordReport> reports) {
        if (reports.empty())
            return;
        std::string mail;
        bool failed = false;
        for (const RecordReport& r : reports) {
            mail += (mail.empty() ? "" : " ") + r.Text;
            failed = failed || r.Outcome == Verdict::Fatal || r.Outcome == Verdict::Retry;
        }
        result.MailLine = mail;
        result.LogText = text::StrConvMap(mail, text::kMapHalfWidth);
        result.LogKind = failed ? 0 : 2;
    };

    if (config.DdnsStopped != 0 && config.DdnsStateOf == key) {
        result.Stopped = true;
        result.Lines.push_back(Sjis(u8"DDNSの更新は停止中です(") + config.DdnsStopReason +
                               Sjis(u8")。DDNS設定を変更すると再開します。"));
        return result;
    }
    const std::string problem = DdnsSettingsProblem(config);
    if (!problem.empty()) {
        result.Lines.push_back(problem);
        if (!options.DryRun) {
            config.DdnsStopped = 1;
            config.DdnsStopReason = problem;
            result.Stopped = result.StoppedNow = true;
            finish({{Verdict::Fatal, Sjis(u8"DDNSの更新を停止しました(") + problem +
                                         Sjis(u8")。DDNS設定を変更するまで更新しません。")}});
        }
        return result;
    }
    const QDateTime retryAt = TimeOf(config.DdnsRetryAt);
    if (retryAt.isValid() && now < retryAt) {
        result.Lines.push_back(
            Sjis(u8"DDNSの再試行は ") +
            retryAt.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")).toStdString() +
            Sjis(u8" 以降です"));
        return result;
    }

    const std::unique_ptr<DdnsProvider> provider = MakeProvider(config.DdnsProvider);
    const QDateTime updated = TimeOf(config.DdnsUpdated);
    const bool refreshDue = !updated.isValid() || updated.addDays(kRefreshDays) <= now;
    ProviderContext context{m_http, config, HostsOf(config), TimeOutMs};
    const std::string hostsText = context.Hosts.empty() ? config.DdnsUser : JoinHosts([&] {
        std::vector<HostResult> named;
        for (const std::string& h : context.Hosts)
            named.push_back({h});
        return named;
    }());

    bool allUpToDate = true;
    bool anyGood = false;
    bool allSentGood = true;
    std::vector<RecordReport> reports;
    int retryMinutes = 0;
    for (const RecordType type : RecordsOf(config)) {
        const std::string& address = type == RecordType::A ? options.AddressA : options.AddressAAAA;
        const std::string record = RecordName(type);
        if (address.empty() || !ValidAddress(address, type)) {
            allUpToDate = false;
            result.Lines.push_back(hostsText + " (" + record + "): " +
                                   (address.empty() ? Sjis(u8"公開するアドレスがありません")
                                                    : Sjis(u8"アドレスが正しくありません: ") + address));
            continue;
        }
        if (!options.Force && !refreshDue && SentOf(config, type) == address) {
            result.Lines.push_back(hostsText + " (" + record + "): " + Sjis(u8"更新済み ") + address);
            continue;
        }
        if (options.DryRun) {
            allUpToDate = false;
            result.Lines.push_back(hostsText + " (" + record + "): " + Sjis(u8"送信します ") + address);
            continue;
        }
        const std::vector<HostResult> hosts = provider->Update(context, type, address);
        result.Sent = true;
        Verdict worst = Verdict::Good;
        const HostResult* failing = nullptr;
        for (const HostResult& h : hosts) {
            const std::string answer = Masked(h.Answer, config);
            result.Lines.push_back(h.Host + " (" + record + "): " + answer);
            if (h.Outcome == Verdict::Fatal || (h.Outcome == Verdict::Retry && worst != Verdict::Fatal)) {
                worst = h.Outcome;
                failing = &h;
            }
            retryMinutes = std::max(retryMinutes, h.RetryMinutes);
        }
        // Hosts after a failing one were not asked.
        for (size_t i = hosts.size(); i < context.Hosts.size() && failing; ++i)
            result.Lines.push_back(context.Hosts[i] + " (" + record + "): " + Sjis(u8"未送信"));
        if (!failing && hosts.size() < std::max<size_t>(context.Hosts.size(), 1)) {
            worst = Verdict::Retry; // a provider that answered for fewer hosts than asked: not done
        }
        if (worst == Verdict::Good) {
            SentOf(config, type) = address;
            anyGood = true;
            // The provider had the address already (state lost, or a refresh): said as such.
            const bool held = std::all_of(hosts.begin(), hosts.end(),
                                          [](const HostResult& h) { return h.Outcome == Verdict::NoChange; });
            reports.push_back(
                {Verdict::Good, Sjis(held ? u8"DDNSは更新済みでした(" : u8"DDNSを更新しました(") +
                                    JoinHosts(hosts) + " " + record + " " + address + Sjis(u8")。")});
            continue;
        }
        allUpToDate = false;
        allSentGood = false;
        const std::string where =
            failing ? failing->Host + ": " + Masked(failing->Answer, config) : Sjis(u8"応答が足りません");
        if (worst == Verdict::Fatal) {
            config.DdnsStopped = 1;
            config.DdnsStopReason = where;
            result.Stopped = result.StoppedNow = true;
            reports.push_back({Verdict::Fatal, Sjis(u8"DDNSの更新を停止しました(") + record + " " + where +
                                                   Sjis(u8")。DDNS設定を変更するまで更新しません。")});
            break;
        }
        reports.push_back(
            {Verdict::Retry, Sjis(u8"DDNSの更新に失敗しました(") + record + " " + where + Sjis(u8")。")});
    }

    if (result.Sent) {
        // A record that failed is sent again anyway: its address differs from the one last sent.
        if (anyGood)
            config.DdnsUpdated = TimeText(now);
        if (allSentGood) {
            config.DdnsFailures = 0;
            config.DdnsRetryAt.clear();
        } else if (!result.StoppedNow) {
            config.DdnsFailures = std::clamp(config.DdnsFailures, 0, 1000) + 1;
            const int minutes = std::max(BackOffMinutes(config.DdnsFailures), retryMinutes);
            const QDateTime next = now.addMSecs(static_cast<qint64>(minutes) * MinuteMs);
            config.DdnsRetryAt = TimeText(next);
            reports.back().Text += Sjis(u8"再試行は ") +
                                   next.toLocalTime().toString(QStringLiteral("HH:mm:ss")).toStdString() +
                                   Sjis(u8" 以降です。");
        } else {
            config.DdnsRetryAt.clear();
        }
    }
    finish(reports);
    result.UpToDate = allUpToDate && !result.Stopped;
    return result;
}

} // namespace ddns
