#include "ddns/CloudflareProvider.h"

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
            text += " " + errors.first().toObject().value(QLatin1String("message")).toString().toStdString();
        result.Answer = OneLine(text);
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

bool EndsWithZone(const std::string& host, const std::string& zone)
{
    return host == zone ||
           (host.size() > zone.size() && host.compare(host.size() - zone.size(), zone.size(), zone) == 0 &&
            host[host.size() - zone.size() - 1] == '.');
}

HostResult UpdateHost(Api& api, const std::string& host, RecordType type, const std::string& address)
{
    HostResult result{host};
    ApiAnswer zones = api.Call("GET", QStringLiteral("/zones"), QStringLiteral("per_page=50"), {}, result);
    if (!zones.ok)
        return result;
    std::string zoneId;
    std::string zoneName;
    for (const QJsonValue zone : zones.json.value(QLatin1String("result")).toArray()) {
        const std::string name = zone.toObject().value(QLatin1String("name")).toString().toStdString();
        if (EndsWithZone(host, name) && name.size() > zoneName.size()) {
            zoneName = name;
            zoneId = zone.toObject().value(QLatin1String("id")).toString().toStdString();
        }
    }
    if (zoneId.empty()) {
        result.Outcome = Verdict::Fatal;
        result.Answer = Sjis(u8"このトークンで扱えるゾーンにありません");
        return result;
    }
    const QString records = QStringLiteral("/zones/") + QueryValue(zoneId) + QStringLiteral("/dns_records");
    ApiAnswer found =
        api.Call("GET", records, Query("type", RecordName(type)) + u'&' + Query("name", host), {}, result);
    if (!found.ok)
        return result;
    const QJsonArray list = found.json.value(QLatin1String("result")).toArray();
    if (list.isEmpty()) {
        result.Outcome = Verdict::Fatal;
        result.Answer = std::string(RecordName(type)) + Sjis(u8"レコードがありません");
        return result;
    }
    const QJsonObject record = list.first().toObject();
    if (record.value(QLatin1String("content")).toString().toStdString() == address) {
        result.Outcome = Verdict::NoChange;
        result.Answer = "nochg " + address;
        return result;
    }
    const std::string recordId = record.value(QLatin1String("id")).toString().toStdString();
    const QJsonObject change{{QLatin1String("content"), QString::fromStdString(address)}};
    ApiAnswer patched = api.Call("PATCH", records + u'/' + QueryValue(recordId), {},
                                 QJsonDocument(change).toJson(QJsonDocument::Compact).toStdString(), result);
    if (!patched.ok)
        return result;
    result.Outcome = Verdict::Good;
    result.Answer = "good " + address;
    return result;
}

} // namespace

std::vector<HostResult> CloudflareProvider::Update(ProviderContext& context, RecordType type,
                                                   const std::string& address)
{
    Api api(context, type);
    std::vector<HostResult> results;
    for (const std::string& host : context.Hosts) {
        results.push_back(UpdateHost(api, host, type, address));
        if (results.back().Outcome == Verdict::Fatal || results.back().Outcome == Verdict::Retry)
            break;
    }
    return results;
}

} // namespace ddns
