#include "ddns/HostState.h"

#include "settings/ConfigUnit.h"
#include "text/VB.h"

#include <QStringList>
#include <algorithm>

namespace ddns {

namespace {

QDateTime TimeOf(const QString& text)
{
    return text == QLatin1String("-") ? QDateTime() : QDateTime::fromString(text, Qt::ISODateWithMs);
}

QString TimeText(const QDateTime& time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QStringLiteral("-");
}

} // namespace

HostStates HostStates::Of(const settings::TConfig& config)
{
    HostStates states;
    for (const QString& entry : QString::fromLatin1(config.DdnsHostState).split(u';', Qt::SkipEmptyParts)) {
        const QStringList fields = entry.split(u' ');
        if (fields.size() != 5 || (fields[1] != QLatin1String("A") && fields[1] != QLatin1String("AAAA")))
            continue;
        states.m_entries.push_back({fields[0].toLatin1().toStdString(),
                                    fields[1] == QLatin1String("A") ? RecordType::A : RecordType::AAAA,
                                    fields[2] == QLatin1String("-") ? std::string() : fields[2].toStdString(),
                                    TimeOf(fields[3]), TimeOf(fields[4])});
    }
    const QDateTime updated =
        QDateTime::fromString(QString::fromLatin1(config.DdnsUpdated), Qt::ISODateWithMs);
    if (!config.DdnsHostState.empty() || !updated.isValid())
        return states;
    for (const std::string& part : text::SplitText(config.DdnsHosts, ",", false)) {
        const QString host = QString::fromLatin1(part).trimmed();
        for (const auto& [type, sent] :
             {std::pair{RecordType::A, &config.DdnsSentA}, std::pair{RecordType::AAAA, &config.DdnsSentAAAA}})
            if (!host.isEmpty() && !sent->empty())
                states.m_entries.push_back({host.toLatin1().toStdString(), type, *sent, updated, {}});
    }
    return states;
}

std::string HostStates::Text() const
{
    QStringList entries;
    for (const HostRecordState& s : m_entries)
        entries.push_back(QString::fromLatin1(s.Host) + u' ' + QLatin1String(RecordName(s.Type)) + u' ' +
                          (s.Address.empty() ? QStringLiteral("-") : QString::fromStdString(s.Address)) +
                          u' ' + TimeText(s.Confirmed) + u' ' + TimeText(s.Tried));
    return entries.join(u';').toLatin1().toStdString();
}

const HostRecordState* HostStates::Find(const std::string& host, RecordType type) const
{
    for (const HostRecordState& s : m_entries)
        if (s.Host == host && s.Type == type)
            return &s;
    return nullptr;
}

HostRecordState& HostStates::Entry(const std::string& host, RecordType type)
{
    for (HostRecordState& s : m_entries)
        if (s.Host == host && s.Type == type)
            return s;
    m_entries.push_back({host, type, {}, {}, {}});
    return m_entries.back();
}

QDateTime HostStates::LastTried(const std::string& host) const
{
    QDateTime last;
    for (const HostRecordState& s : m_entries)
        if (s.Host == host && s.Tried.isValid() && (!last.isValid() || s.Tried > last))
            last = s.Tried;
    return last;
}

void HostStates::KeepHosts(const std::vector<std::string>& hosts)
{
    std::erase_if(m_entries, [&hosts](const HostRecordState& s) {
        return std::find(hosts.begin(), hosts.end(), s.Host) == hosts.end();
    });
}

void HostStates::ForgetAddresses()
{
    for (HostRecordState& s : m_entries) {
        s.Address.clear();
        s.Confirmed = {};
    }
}

void KeepTriedTimes(const settings::TConfig& from, settings::TConfig& to)
{
    HostStates target = HostStates::Of(to);
    const HostStates source = HostStates::Of(from);
    for (const HostRecordState& tried : source.Entries())
        if (tried.Tried.isValid())
            target.Entry(tried.Host, tried.Type).Tried = tried.Tried;
    to.DdnsHostState = target.Text();
}

} // namespace ddns
