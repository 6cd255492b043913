#include "netinfo/wssmpl.h"

#include "platform/Codepage.h"
#include "platform/WaitLoop.h"

#include <QHostAddress>
#include <arpa/inet.h>

namespace netinfo {

namespace {

// The canonical dotted form of a text that the socket layer reads as an IPv4 address (it also
// takes the short forms "127.1" and the like), or an empty text.
QString CanonicalAddress(const QString& text)
{
    in_addr parsed{};
    if (text.isEmpty() || inet_aton(text.toLatin1().constData(), &parsed) == 0)
        return {};
    return QHostAddress(ntohl(parsed.s_addr)).toString();
}

int ErrorNumber(QHostInfo::HostInfoError error)
{
    return error == QHostInfo::HostNotFound ? kWsaHostNotFound : kWsaTryAgain;
}

} // namespace

bool IsDottedAddress(const QString& text)
{
    return !CanonicalAddress(text).isEmpty();
}

bool IsValidHostName(std::string_view name)
{
    constexpr size_t kMaxName = 253;
    constexpr size_t kMaxLabel = 63;
    if (name.empty() || name.size() > kMaxName)
        return false;
    size_t label = 0;
    for (const char c : name) {
        if (c == '.') {
            if (label == 0)
                return false;
            label = 0;
            continue;
        }
        const bool allowed =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        if (!allowed || ++label > kMaxLabel)
            return false;
    }
    return label > 0;
}

bool SystemHostResolver::Start(const QString& nameOrAddress, bool /*reverse*/, QObject* context, Done done,
                               int& error)
{
    // QHostInfo itself answers an address with its name and a name with its addresses.
    m_context = context;
    m_lookupId = QHostInfo::lookupHost(nameOrAddress, context, std::move(done));
    error = 0;
    return true;
}

void SystemHostResolver::Abandon(QObject* context)
{
    if (context == m_context && m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    m_context = nullptr;
    m_lookupId = -1;
}

TKHostInf::TKHostInf(HostResolver* resolver)
    : m_systemResolver(resolver ? nullptr : std::make_unique<SystemHostResolver>()),
      m_resolver(resolver ? resolver : m_systemResolver.get())
{
}

TKHostInf::~TKHostInf()
{
    CancelLookup();
}

void TKHostInf::StartLookup(const std::string& nameOrAddress)
{
    CancelLookup();
    const QString asked = platform::Cp932ToQString(nameOrAddress);
    const QString address = CanonicalAddress(asked);
    const bool reverse = !address.isEmpty();
    const QString query = reverse ? address : asked;
    // The context object stands for the outstanding task: destroying it drops a late answer.
    auto* task = new QObject;
    m_task = task;
    int error = 0;
    const bool started = m_resolver->Start(
        query, reverse, task,
        [this, task, reverse, query](const QHostInfo& info) { Completed(task, info, reverse, query); },
        error);
    if (!started) {
        m_task = nullptr;
        delete task;
        RaiseError(error ? error : kWsaTryAgain);
    }
}

void TKHostInf::CancelLookup()
{
    if (!m_task)
        return;
    QObject* task = m_task;
    m_task = nullptr;
    m_resolver->Abandon(task);
    delete task;
}

void TKHostInf::Completed(QObject* task, const QHostInfo& info, bool reverse, const QString& asked)
{
    if (task != m_task)
        return;
    m_task = nullptr;
    // The answer is delivered from inside this object's own connection: delete it afterwards.
    task->deleteLater();
    if (info.error() != QHostInfo::NoError) {
        RaiseError(ErrorNumber(info.error()));
        return;
    }
    QString address;
    for (const QHostAddress& a : info.addresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            address = a.toString();
            break;
        }
    if (reverse) {
        // Without a registered name the system answers with the address itself.
        if (info.hostName().isEmpty() || QHostAddress(info.hostName()) == QHostAddress(asked)) {
            RaiseError(kWsaHostNotFound);
            return;
        }
        if (address.isEmpty())
            address = asked;
    } else if (address.isEmpty()) {
        RaiseError(kWsaNoData);
        return;
    }
    if (OnFind)
        OnFind(*this, address.toStdString(), platform::QStringToCp932(info.hostName()), text::StringList{});
}

void TKHostInf::RaiseError(int error)
{
    if (OnError)
        OnError(*this, error);
}

HostNameLookup::HostNameLookup(TKHostInf& hostInf) : m_hostInf(hostInf)
{
    m_hostInf.OnFind = [this](TKHostInf&, const std::string&, const std::string& hostName,
                              const text::StringList&) {
        // The name goes into the published pages: one that is no host name is treated as none.
        NameRefused = !IsValidHostName(hostName);
        NewHostName = NameRefused ? std::string() : hostName;
        LookupPending = false;
    };
    m_hostInf.OnError = [this](TKHostInf&, int) {
        NewHostName.clear();
        LookupPending = false;
    };
}

std::string HostNameLookup::LookupHostName(const std::string& address, int timeoutMs)
{
    NewHostName.clear();
    NameRefused = false;
    LookupPending = true;
    m_hostInf.StartLookup(address);
    if (platform::WaitUntil([this] { return !LookupPending; }, timeoutMs) != platform::WaitResult::Done)
        CancelLookup();
    return NewHostName;
}

void HostNameLookup::CancelLookup()
{
    m_hostInf.CancelLookup();
    NewHostName.clear();
    LookupPending = false;
}

} // namespace netinfo
