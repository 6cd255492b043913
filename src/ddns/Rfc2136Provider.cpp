#include "ddns/Rfc2136Provider.h"

#include "ddns/DnsUpdateMessage.h"
#include "ddns/Rfc2136Settings.h"
#include "platform/WaitLoop.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"

#include <QDeadlineTimer>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

namespace ddns {

namespace {

using text::Sjis;

constexpr int kAnyTsigError = -1;

// How each answer is read. The TSIG errors come with RCODE NOTAUTH (RFC 8945 5.3.2, 5.4); the
// update's own RCODEs are those of RFC 2136 2.2. Prerequisite codes (NXDOMAIN, YXDOMAIN, YXRRSET,
// NXRRSET) cannot follow from an update without prerequisites: like any code not listed, they are a
// failure that is tried again.
struct AnswerRule
{
    int Rcode;
    int TsigError;
    Verdict Outcome;
    const char* Name;
    const char8_t* Text;
};

constexpr AnswerRule kAnswerRules[] = {
    {9, 17, Verdict::Fatal, "NOTAUTH(BADKEY)",
     u8"サーバーはこの名前と方式のTSIG鍵を知りません。鍵の名前と方式を確かめてください"},
    {9, 16, Verdict::Fatal, "NOTAUTH(BADSIG)", u8"TSIG鍵の秘密がサーバーの鍵と一致しません"},
    {9, 18, Verdict::Retry, "NOTAUTH(BADTIME)", u8"このマシンとサーバーの時計が5分以上ずれています"},
    {9, kAnyTsigError, Verdict::Fatal, "NOTAUTH",
     u8"サーバーはこのゾーンの更新を受け付けません(権威サーバーでないか、鍵が認められていません)"},
    {5, kAnyTsigError, Verdict::Fatal, "REFUSED",
     u8"サーバーが更新を拒否しました。この鍵でホスト名を更新できるか、サーバーの設定を確かめてください"},
    {10, kAnyTsigError, Verdict::Fatal, "NOTZONE", u8"ホスト名がゾーンの外にあります"},
    {1, kAnyTsigError, Verdict::Fatal, "FORMERR", u8"サーバーが更新要求を読めませんでした"},
    {4, kAnyTsigError, Verdict::Fatal, "NOTIMP", u8"サーバーは動的更新に対応していません"},
    {2, kAnyTsigError, Verdict::Retry, "SERVFAIL", u8"サーバーが一時的に更新できません"},
};

// What came back from the server, or why nothing did.
struct Exchanged
{
    std::optional<DnsUpdateAnswer> Answer;
    std::string Failure; // code page 932
};

QHostAddress LookUp(const QString& host, int waitMs, const std::function<bool()>& stopped,
                    std::string& failure)
{
    QHostAddress literal;
    if (literal.setAddress(host))
        return literal;
    auto result = std::make_shared<std::optional<QHostInfo>>();
    QObject receiver;
    const int id =
        QHostInfo::lookupHost(host, &receiver, [result](const QHostInfo& info) { *result = info; });
    const platform::WaitResult waited =
        platform::WaitUntil([&result] { return result->has_value(); }, waitMs, stopped);
    if (waited != platform::WaitResult::Done) {
        QHostInfo::abortHostLookup(id);
        failure =
            Sjis(waited == platform::WaitResult::Canceled ? u8"中止しました"
                                                          : u8"DNSサーバーの名前を引けません(時間切れ)");
        return {};
    }
    if ((*result)->addresses().isEmpty()) {
        failure = Sjis(u8"DNSサーバーが見つかりません: ") + host.toStdString();
        return {};
    }
    return (*result)->addresses().constFirst();
}

// Sends the update and waits for its answer, sending it again each kDnsResendMs (UDP may lose it;
// the update is the same message, and applying it twice changes nothing). A socket error (the port
// refused it) ends the wait at once.
Exchanged Exchange(const DnsUpdateMessage& message, const QHostAddress& server, quint16 port, int waitMs,
                   const std::function<bool()>& stopped)
{
    Exchanged result;
    QUdpSocket socket;
    QObject::connect(&socket, &QAbstractSocket::errorOccurred, &socket,
                     [&result, &socket] { result.Failure = socket.errorString().toStdString(); });
    socket.connectToHost(server, port);
    const auto take = [&] {
        while (socket.hasPendingDatagrams()) {
            const DnsUpdateAnswer answer = message.Read(socket.receiveDatagram().data());
            if (answer.Ours) {
                result.Answer = answer;
                return true;
            }
        }
        return !result.Failure.empty();
    };
    const QDeadlineTimer deadline(waitMs);
    while (!deadline.hasExpired()) {
        if (socket.state() == QAbstractSocket::ConnectedState)
            socket.write(message.Wire());
        const int slice = static_cast<int>(std::min<qint64>(kDnsResendMs, deadline.remainingTime()));
        const platform::WaitResult waited = platform::WaitUntil(take, slice, stopped);
        if (waited == platform::WaitResult::Canceled) {
            result.Failure = Sjis(u8"中止しました");
            return result;
        }
        if (waited == platform::WaitResult::Done)
            return result;
    }
    result.Failure = Sjis(u8"応答がありません");
    return result;
}

} // namespace

HostResult JudgeDnsAnswer(const std::string& host, RecordType type, const DnsUpdateAnswer& answer)
{
    if (answer.Rcode == 0 && answer.Signed && !answer.Truncated)
        return {host, type, Verdict::Good, "NOERROR", 0};
    if (answer.Rcode == 0)
        return {host, type, Verdict::Retry, Sjis(u8"NOERROR ですが、応答に鍵の署名がありません"), 0};
    for (const AnswerRule& rule : kAnswerRules)
        if (rule.Rcode == answer.Rcode &&
            (rule.TsigError == kAnyTsigError || rule.TsigError == answer.TsigError))
            return {host, type, rule.Outcome, std::string(rule.Name) + " " + Sjis(rule.Text), 0};
    return {host, type, Verdict::Retry,
            "RCODE " + std::to_string(answer.Rcode) + Sjis(u8" (想定外の応答です)"), 0};
}

HostResult Rfc2136Provider::UpdateRecord(ProviderContext& context, const std::string& host, RecordType type,
                                         const std::string& address)
{
    const Rfc2136Target target = Rfc2136TargetOf(context.Config);
    const std::string aceHost = AceHost(host);
    const std::string aceZone = AceHost(target.Zone);
    if (aceHost.empty() || aceZone.empty())
        return {host, type, Verdict::Fatal, Sjis(u8"ホスト名が正しくありません: ") + host, 0};
    const std::function<bool()> stopped = [&context] { return context.Http.Stopped(); };
    const int waitMs = std::max(1, std::min(context.TimeOutMs, kDnsAnswerWaitMs));
    std::string failure;
    const QHostAddress server = LookUp(target.Host, waitMs, stopped, failure);
    if (server.isNull())
        return {host, type, Verdict::Retry, failure, 0};
    const DnsUpdateMessage message(
        {aceZone, aceHost, type, address, kDnsRecordTtl, target.KeyName, target.Algorithm, target.Secret});
    if (message.Wire().isEmpty())
        return {host, type, Verdict::Fatal, Sjis(u8"更新要求を作れません: ") + message.Error(), 0};
    const Exchanged exchanged = Exchange(message, server, target.Port, waitMs, stopped);
    return exchanged.Answer ? JudgeDnsAnswer(host, type, *exchanged.Answer)
                            : HostResult{host, type, Verdict::Retry, exchanged.Failure, 0};
}

} // namespace ddns
