#include "support/NamedServer.h"

#include "support/RunProgram.h"

namespace testsupport {

bool NamedServer::start(const QString& zone, const std::vector<TsigKey>& keys, const QStringList& lockedZones)
{
    QStringList args{QStringLiteral("--folder"), m_folder.path(), QStringLiteral("--zone"), zone};
    for (const TsigKey& key : keys)
        args << QStringLiteral("--key") << key.Algorithm + u':' + key.Name + u':' + key.Secret;
    for (const QString& locked : lockedZones)
        args << QStringLiteral("--locked") << locked;
    return m_process.startPython(QStringLiteral("namedserver.py"), args);
}

QStringList NamedServer::records(const QString& name, const QString& type) const
{
    const ProgramResult dig =
        RunProgram({QStringLiteral("@127.0.0.1"), QStringLiteral("-p"), QString::number(port()),
                    QStringLiteral("+short"), QStringLiteral("+norec"), QStringLiteral("+time=2"),
                    QStringLiteral("+tries=1"), name, type},
                   10000, {}, QStringLiteral("/usr/bin/dig"));
    if (dig.exitCode != 0)
        return {QStringLiteral("dig failed: ") + QString::fromStdString(dig.err + dig.out)};
    QStringList lines = QString::fromStdString(dig.out).split(u'\n', Qt::SkipEmptyParts);
    lines.sort();
    return lines;
}

} // namespace testsupport
