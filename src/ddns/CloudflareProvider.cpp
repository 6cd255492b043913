#include "ddns/CloudflareProvider.h"

#include "platform/Codepage.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ddns {

namespace {

using text::Sjis;

struct ApiAnswer
{
    bool ok = false;
    QJsonObject json;
};

class Api
{
public:
    Api(ProviderContext& context, RecordType type)
        : m_context(context), m_base(BaseUrl(context.Config, "https://api.cloudflare.com/client/v4", type))
    {
    }

    // The answer of one call; on failure, result holds the verdict.
    ApiAnswer Call(const std::string& method, const QString& path, const QString& query,
                   const std::string& body, HostResult& result)
    {
        net::HttpRequest request;
        request.Method = method;
        request.Url = m_base;
        request.Url.setPath(m_base.path() + path);
        if (!query.isEmpty())
            request.Url.setQuery(query, QUrl::StrictMode);
        request.Headers.emplace_back("Authorization", "Bearer " + m_context.Config.DdnsToken);
        if (!body.empty())
            request.Headers.emplace_back("Content-Type", "application/json");
        request.Body = body;
        request.TimeOutMs = m_context.TimeOutMs;
        const net::HttpResponse response = m_context.Http.Send(request);
        ApiAnswer answer;
        if (JudgeTransport(response, result))
            return answer;
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(response.Body));
        answer.json = document.object();
        if (response.Status == 200 && answer.json.value(QLatin1String("success")).toBool()) {
            answer.ok = true;
            return answer;
        }
        const QJsonArray errors = answer.json.value(QLatin1String("errors")).toArray();
        std::string text = "HTTP " + std::to_string(response.Status);
        if (!errors.isEmpty())
            text += " " + platform::QStringToCp932(
                              errors.first().toObject().value(QLatin1String("message")).toString());
        result.Answer = text;
        // A request the API refuses as wrong will be refused again; anything else may pass later.
        result.Outcome = response.Status >= 400 && response.Status < 500 && response.Status != 429
                             ? Verdict::Fatal
                             : Verdict::Retry;
        return answer;
    }

private:
    ProviderContext& m_context;
    QUrl m_base;
};

QString Query(const std::string& name, const std::string& value)
{
    return QString::fromStdString(name) + u'=' + QueryValue(value);
}

// The id of the host's zone; empty (with the verdict in result) when there is none or the API failed.
std::string FindZone(Api& api, const std::string& host, HostResult& result)
{
    for (const std::string& name : ZoneCandidates(host)) {
        const ApiAnswer zones = api.Call("GET", QStringLiteral("/zones"), Query("name", name), {}, result);
        if (!zones.ok)
            return {};
        for (const QJsonValue zone : zones.json.value(QLatin1String("result")).toArray())
            if (zone.toObject().value(QLatin1String("name")).toString().toStdString() == name)
                return zone.toObject().value(QLatin1String("id")).toString().toStdString();
    }
    result.Outcome = Verdict::Fatal;
    result.Answer = Sjis(u8"ゾーンが見つかりません(トークンにZone Readの権限が必要です)");
    return {};
}

// Brings one record to the address; the empty text when it holds it now, else what went wrong.
std::string ChangeRecord(Api& api, const QString& records, const QJsonObject& record,
                         const std::string& address, HostResult& result)
{
    const std::string id = record.value(QLatin1String("id")).toString().toStdString();
    const QJsonObject change{{QLatin1String("content"), QString::fromStdString(address)}};
    const ApiAnswer patched =
        api.Call("PATCH", records + u'/' + QueryValue(id), {},
                 QJsonDocument(change).toJson(QJsonDocument::Compact).toStdString(), result);
    if (!patched.ok)
        return id + " (" + result.Answer + ")";
    const QJsonObject now = patched.json.value(QLatin1String("result")).toObject();
    if (now.value(QLatin1String("content")).toString().toStdString() != address) {
        result.Outcome = Verdict::Retry;
        return id + Sjis(u8" (変更後の内容が送ったアドレスと違います)");
    }
    return {};
}

} // namespace

std::vector<std::string> ZoneCandidates(const std::string& host)
{
    std::vector<std::string> names;
    for (size_t at = 0; at != std::string::npos && host.find('.', at) != std::string::npos;) {
        names.push_back(host.substr(at));
        at = host.find('.', at);
        at = at == std::string::npos ? at : at + 1;
    }
    return names;
}

HostResult CloudflareProvider::UpdateRecord(ProviderContext& context, const std::string& host,
                                            RecordType type, const std::string& address)
{
    Api api(context, type);
    HostResult result{host, type};
    const std::string ace = AceHost(host);
    if (ace.empty()) {
        result.Outcome = Verdict::Fatal;
        result.Answer = Sjis(u8"ホスト名が正しくありません: ") + host;
        return result;
    }
    const std::string zoneId = FindZone(api, ace, result);
    if (zoneId.empty())
        return result;
    const QString records = QStringLiteral("/zones/") + QueryValue(zoneId) + QStringLiteral("/dns_records");
    const ApiAnswer found = api.Call("GET", records,
                                     Query("type", RecordName(type)) + u'&' + Query("name", ace) +
                                         QStringLiteral("&per_page=100"),
                                     {}, result);
    if (!found.ok)
        return result;
    const QJsonArray list = found.json.value(QLatin1String("result")).toArray();
    if (list.isEmpty()) {
        result.Outcome = Verdict::Fatal;
        result.Answer = std::string(RecordName(type)) + Sjis(u8"レコードがありません");
        return result;
    }
    int changed = 0;
    std::string failed;
    for (const QJsonValue value : list) {
        const QJsonObject record = value.toObject();
        if (record.value(QLatin1String("content")).toString().toStdString() == address)
            continue;
        const std::string problem = ChangeRecord(api, records, record, address, result);
        if (problem.empty())
            ++changed;
        else
            failed += (failed.empty() ? "" : ", ") + problem;
    }
    const std::string count = std::to_string(list.size());
    if (!failed.empty()) {
        // result holds the verdict of the last failed call.
        result.Answer = count + Sjis(u8"件のレコードのうち更新できなかったもの: ") + failed;
        return result;
    }
    result.Outcome = changed == 0 ? Verdict::NoChange : Verdict::Good;
    result.Answer = (changed == 0 ? "nochg " : "good ") + address +
                    (list.size() > 1 ? " (" + count + Sjis(u8"件)") : std::string());
    return result;
}

} // namespace ddns
