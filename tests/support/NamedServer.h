#pragma once
// A BIND 9 named (Debian's bind9) serving a test zone on 127.0.0.1 with an ephemeral port, updatable
// with the TSIG keys given (tests/servers/namedserver.py), and dig (bind9-dnsutils) to read records
// back from it. Stopped and its folder removed when the object goes away.

#include "support/ServerProcess.h"
#include "support/TempFolder.h"

#include <QStringList>
#include <vector>

namespace testsupport {

struct TsigKey
{
    QString Algorithm; // as named.conf spells it: hmac-sha256 ...
    QString Name;
    QString Secret; // base64
};

class NamedServer
{
public:
    // lockedZones are served too, but take no updates (REFUSED).
    bool start(const QString& zone, const std::vector<TsigKey>& keys, const QStringList& lockedZones = {});
    quint16 port() const { return m_process.port(); }
    QString error() const { return m_process.error(); }
    // The data of the name's records of the type, as dig prints them (+short), sorted; a failed dig
    // gives one entry that says so, which no record equals.
    QStringList records(const QString& name, const QString& type) const;

private:
    TempFolder m_folder{false};
    ServerProcess m_process;
};

} // namespace testsupport
