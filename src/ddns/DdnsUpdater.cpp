#include "ddns/DdnsUpdater.h"

#include "core/Version.h"
#include "ddns/Dyndns2Provider.h"
#include "ddns/HostState.h"
#include "ddns/PlainHttpRule.h"
#include "ddns/SecretMask.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"
#include "text/VB.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <QUrl>
#include <algorithm>
#include <optional>

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
    // The times the hosts were asked stay: the limit of forced sends holds across settings.
    HostStates states = HostStates::Of(config);
    states.ForgetAddresses();
    config.DdnsHostState = states.Text();
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

std::string Joined(const std::vector<std::string>& names)
{
    std::string joined;
    for (const std::string& name : names)
        joined += (joined.empty() ? "" : ",") + name;
    return joined;
}

std::string ClockText(const QDateTime& time)
{
    return time.toLocalTime().toString(QStringLiteral("HH:mm:ss")).toStdString();
}

// What one record's run adds to the row: done, failed or refused.
struct RecordReport
{
    Verdict Outcome = Verdict::Good;
    std::string Text;
};

// The one row of a run (and its mail line) from what its records add.
void Report(DdnsResult& result, const std::vector<RecordReport>& reports)
{
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
}

// One update run: which host and record is due, the requests, and what they teach the state.
class UpdateRun
{
public:
    UpdateRun(settings::TConfig& config, const DdnsOptions& options, const QDateTime& now, int minuteMs,
              DdnsProvider& provider, ProviderContext& context, DdnsResult& result)
        : m_config(config), m_options(options), m_now(now), m_minuteMs(minuteMs), m_provider(provider),
          m_context(context), m_result(result), m_states(HostStates::Of(config))
    {
    }

    void Go();

private:
    void TakeAddresses();
    std::vector<Wanted> Due(const std::string& host);
    void Send(const std::string& host, const std::vector<Wanted>& due);
    void Take(const std::string& host, const Wanted& record, const HostResult* answer);
    void Finish();
    std::string Line(const std::string& host, RecordType type, const std::string& text) const
    {
        return host + " (" + RecordName(type) + "): " + text;
    }

    settings::TConfig& m_config;
    const DdnsOptions& m_options;
    const QDateTime m_now;
    const int m_minuteMs;
    DdnsProvider& m_provider;
    ProviderContext& m_context;
    DdnsResult& m_result;
    HostStates m_states;
    std::vector<std::string> m_hosts;
    std::vector<Wanted> m_records;
    bool m_allUpToDate = true;
    // A host failed: the ones after it are not asked in this run.
    bool m_halted = false;
    std::optional<RecordReport> m_failure;
    int m_retryMinutes = 0;
    // Per record, in the order of m_records: the hosts confirmed in this run, and whether all of
    // them held the address already.
    std::vector<std::vector<std::string>> m_confirmed;
    std::vector<bool> m_allHeld;
};

void UpdateRun::TakeAddresses()
{
    const std::string named = m_hosts.size() == 1 ? m_hosts.front() : Joined(m_hosts);
    for (const RecordType type : RecordsOf(m_config)) {
        const std::string& address = type == RecordType::A ? m_options.AddressA : m_options.AddressAAAA;
        if (address.empty() || !ValidAddress(address, type)) {
            m_allUpToDate = false;
            m_result.Lines.push_back(Line(named, type,
                                          address.empty()
                                              ? Sjis(u8"公開するアドレスがありません")
                                              : Sjis(u8"アドレスが正しくありません: ") + address));
            continue;
        }
        m_records.push_back({type, address});
    }
    m_confirmed.resize(m_records.size());
    m_allHeld.assign(m_records.size(), true);
}

std::vector<Wanted> UpdateRun::Due(const std::string& host)
{
    std::vector<Wanted> due;
    std::vector<Wanted> held;
    for (const Wanted& record : m_records) {
        const HostRecordState* state = m_states.Find(host, record.Type);
        const bool confirmed = state && state->Address == record.Address && state->Confirmed.isValid() &&
                               m_now < state->Confirmed.addDays(m_provider.RefreshDays());
        (confirmed && !m_options.Force ? held : due).push_back(record);
    }
    // A provider that replaces a host's whole record set gets every record whenever one is due.
    if (m_provider.SendsRecordsTogether() && !due.empty())
        due = m_records;
    else
        for (const Wanted& record : held)
            m_result.Lines.push_back(Line(host, record.Type, Sjis(u8"更新済み ") + record.Address));
    const QDateTime last = m_states.LastTried(host);
    if (due.empty() || !m_options.Force || m_options.DryRun || !last.isValid() ||
        last.addSecs(kForcedSendMinutes * 60) <= m_now)
        return due;
    // A forced send so soon after the last request: the provider would take it as abuse.
    for (const Wanted& record : due)
        m_result.Lines.push_back(Line(host, record.Type,
                                      Sjis(u8"強制送信は同じホストに10分に1回までです。") +
                                          ClockText(last.addSecs(kForcedSendMinutes * 60)) +
                                          Sjis(u8" 以降にもう一度どうぞ")));
    m_allUpToDate = false;
    return {};
}

void UpdateRun::Go()
{
    m_hosts = m_provider.UpdatesAccount()
                  ? std::vector<std::string>{HostsOf(m_config).empty() ? m_config.DdnsUser
                                                                       : Joined(HostsOf(m_config))}
                  : HostsOf(m_config);
    TakeAddresses();
    for (const std::string& host : m_hosts) {
        const std::vector<Wanted> due = Due(host);
        if (due.empty())
            continue;
        if (m_options.DryRun || m_halted) {
            m_allUpToDate = false;
            for (const Wanted& record : due)
                m_result.Lines.push_back(
                    Line(host, record.Type,
                         m_options.DryRun ? Sjis(u8"送信します ") + record.Address : Sjis(u8"未送信")));
            continue;
        }
        Send(host, due);
    }
    if (!m_options.DryRun)
        Finish();
}

void UpdateRun::Send(const std::string& host, const std::vector<Wanted>& due)
{
    std::vector<HostResult> answers = m_provider.UpdateHost(m_context, host, due);
    m_result.Sent = true;
    for (size_t i = 0; i < due.size(); ++i) {
        HostResult* answer = i < answers.size() ? &answers[i] : nullptr;
        // Secrets are masked in the whole answer, before it is cut to a line.
        if (answer)
            answer->Answer = OneLine(MaskSecrets(answer->Answer, m_config));
        Take(host, due[i], answer);
    }
}

void UpdateRun::Take(const std::string& host, const Wanted& record, const HostResult* answer)
{
    if (!answer) {
        m_allUpToDate = false;
        m_result.Lines.push_back(Line(host, record.Type, Sjis(u8"未送信")));
        return;
    }
    m_result.Lines.push_back(Line(host, record.Type, answer->Answer));
    HostRecordState& state = m_states.Entry(host, record.Type);
    state.Tried = m_now;
    const size_t index =
        static_cast<size_t>(std::find_if(m_records.begin(), m_records.end(),
                                         [&](const Wanted& w) { return w.Type == record.Type; }) -
                            m_records.begin());
    if (answer->Outcome == Verdict::Good || answer->Outcome == Verdict::NoChange) {
        state.Address = record.Address;
        state.Confirmed = m_now;
        m_confirmed[index].push_back(host);
        m_allHeld[index] = m_allHeld[index] && answer->Outcome == Verdict::NoChange;
        return;
    }
    m_allUpToDate = false;
    m_halted = true;
    m_retryMinutes = std::max(m_retryMinutes, answer->RetryMinutes);
    if (m_failure && m_failure->Outcome == Verdict::Fatal)
        return;
    const std::string where = host + ": " + answer->Answer;
    if (answer->Outcome == Verdict::Fatal) {
        m_config.DdnsStopped = 1;
        m_config.DdnsStopReason = where;
        m_result.Stopped = m_result.StoppedNow = true;
        m_failure =
            RecordReport{Verdict::Fatal, Sjis(u8"DDNSの更新を停止しました(") + RecordName(record.Type) + " " +
                                             where + Sjis(u8")。DDNS設定を変更するまで更新しません。")};
    } else if (!m_failure) {
        m_failure = RecordReport{Verdict::Retry, Sjis(u8"DDNSの更新に失敗しました(") +
                                                     RecordName(record.Type) + " " + where + Sjis(u8")。")};
    }
}

void UpdateRun::Finish()
{
    std::vector<RecordReport> reports;
    for (size_t i = 0; i < m_records.size(); ++i) {
        const Wanted& record = m_records[i];
        if (!m_confirmed[i].empty())
            reports.push_back(
                {Verdict::Good, Sjis(m_allHeld[i] ? u8"DDNSは更新済みでした(" : u8"DDNSを更新しました(") +
                                    Joined(m_confirmed[i]) + " " + RecordName(record.Type) + " " +
                                    record.Address + Sjis(u8")。")});
        // The record as a whole (what the settings dialog shows): held by every host.
        const bool everyHost = std::all_of(m_hosts.begin(), m_hosts.end(), [&](const std::string& host) {
            const HostRecordState* state = m_states.Find(host, record.Type);
            return state && state->Address == record.Address;
        });
        if (everyHost)
            SentOf(m_config, record.Type) = record.Address;
        else
            m_allUpToDate = false;
    }
    m_states.KeepHosts(m_hosts);
    m_config.DdnsHostState = m_states.Text();
    if (m_result.Sent) {
        if (std::any_of(m_confirmed.begin(), m_confirmed.end(), [](const auto& h) { return !h.empty(); }))
            m_config.DdnsUpdated = TimeText(m_now);
        if (!m_failure) {
            m_config.DdnsFailures = 0;
            m_config.DdnsRetryAt.clear();
        } else if (m_failure->Outcome == Verdict::Retry) {
            m_config.DdnsFailures = std::clamp(m_config.DdnsFailures, 0, 1000) + 1;
            const int minutes = std::max(
                BackOffMinutes(m_config.DdnsFailures, m_provider.FirstRetryMinutes()), m_retryMinutes);
            const QDateTime next = m_now.addMSecs(static_cast<qint64>(minutes) * m_minuteMs);
            m_config.DdnsRetryAt = TimeText(next);
            m_failure->Text += Sjis(u8"再試行は ") + ClockText(next) + Sjis(u8" 以降です。");
        } else {
            m_config.DdnsRetryAt.clear();
        }
    }
    if (m_failure)
        reports.push_back(*m_failure);
    Report(m_result, reports);
    m_result.UpToDate = m_allUpToDate && !m_result.Stopped;
}

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
    if (lower == "dyndns2" && c.DdnsTestURL.empty() && Dyndns2ServerUrl(c.DdnsServer).isEmpty())
        return Sjis(u8"DDNSサーバーの指定が正しくありません: ") + c.DdnsServer;
    for (const std::string& host : HostsOf(c))
        if (host.find_first_of(" \t;") != std::string::npos || AceHost(host).empty())
            return Sjis(u8"DDNSのホスト名が正しくありません: ") + host;
    // MyDNS takes the address from the request, which cannot leave from another machine's address.
    if (lower == "mydns" && !Trimmed(c.Ipv6Suffix).empty() &&
        std::find(records.begin(), records.end(), RecordType::AAAA) != records.end())
        return Sjis(u8"MyDNSは送信元のアドレスを登録するため、IPv6のサフィックス(別のマシンのアドレス)を"
                    u8"AAAAレコードに使えません。AAAAレコードをやめるか、サフィックスを空にしてください");
    if (lower == "dyndns2" && c.DdnsTestURL.empty())
        return PlainHttpProblem(c.DdnsServer);
    return {};
}

int BackOffMinutes(int failures, int first)
{
    int minutes = std::max(first, 1);
    for (int i = 1; i < failures && minutes < kMaxBackOffMinutes; ++i)
        minutes *= 2;
    return std::min(minutes, kMaxBackOffMinutes);
}

std::string UserAgent()
{
    return std::string("Quillmap/") + core::kVersionText + " (+" + core::kProjectUrl + ")";
}

DdnsUpdater::DdnsUpdater()
{
    m_http.UserAgent = UserAgent();
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
            Report(result, {{Verdict::Fatal, Sjis(u8"DDNSの更新を停止しました(") + problem +
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
    ProviderContext context{m_http, config, TimeOutMs};
    UpdateRun(config, options, now, MinuteMs, *provider, context, result).Go();
    return result;
}

} // namespace ddns
