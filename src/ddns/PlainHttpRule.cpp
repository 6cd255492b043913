#include "ddns/PlainHttpRule.h"

#include "text/Sjis.h"

#include <QHostInfo>
#include <QString>
#include <QUrl>

namespace ddns {

bool IsLocalAddress(const QHostAddress& address)
{
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    if (mapped) {
        const QHostAddress four(v4);
        for (const auto& [net, bits] :
             {std::pair{"127.0.0.0", 8}, std::pair{"10.0.0.0", 8}, std::pair{"172.16.0.0", 12},
              std::pair{"192.168.0.0", 16}, std::pair{"169.254.0.0", 16}})
            if (four.isInSubnet(QHostAddress(QLatin1String(net)), bits))
                return true;
        return false;
    }
    return address.protocol() == QAbstractSocket::IPv6Protocol &&
           (address.isLoopback() || address.isInSubnet(QHostAddress(QStringLiteral("fe80::")), 10) ||
            address.isInSubnet(QHostAddress(QStringLiteral("fc00::")), 7));
}

std::string PlainHttpProblem(const std::string& server)
{
    const QString text = QString::fromLatin1(server).trimmed();
    if (!text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive))
        return {};
    const QString host = QUrl(text).host();
    const std::string refused =
        text::Sjis(u8"http:// はLAN内のサーバーにしか使えません(パスワードが暗号化されずに"
                   u8"送られるため)。DDNSサーバーは https:// か「ホスト名[:ポート]」で"
                   u8"指定してください");
    if (host.isEmpty())
        return refused;
    const QHostAddress literal(host);
    if (!literal.isNull())
        return IsLocalAddress(literal) ? std::string() : refused;
    const QHostInfo found = QHostInfo::fromName(host);
    if (found.error() != QHostInfo::NoError || found.addresses().isEmpty())
        return refused;
    for (const QHostAddress& address : found.addresses())
        if (!IsLocalAddress(address))
            return refused;
    return {};
}

} // namespace ddns
