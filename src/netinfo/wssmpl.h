#pragma once
// Host-name look-up: the component TKHostInf (one asynchronous look-up at a time, answered through
// OnFind or OnError, cancellable without an answer) and LookupHostName, which waits for the answer in
// the shared wait helper. The resolver behind the component can be replaced, so that tests never ask
// a name server outside this machine.

#include "text/VB.h"

#include <QHostInfo>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace netinfo {

// Socket error numbers of a failed look-up, as the socket layer numbers them.
inline constexpr int kWsaHostNotFound = 11001;
inline constexpr int kWsaTryAgain = 11002;
inline constexpr int kWsaNoData = 11004;

class HostResolver
{
public:
    using Done = std::function<void(const QHostInfo&)>;
    virtual ~HostResolver() = default;
    // Starts looking up a name, or the name of an address when reverse is set. The answer goes to
    // done later, from the event loop (never from inside Start), and never after context is gone.
    // Returns false when the look-up cannot start; error then holds a socket error number.
    virtual bool Start(const QString& nameOrAddress, bool reverse, QObject* context, Done done,
                       int& error) = 0;
    // Tells the resolver that the answer to the look-up started last with this context is not wanted.
    virtual void Abandon(QObject* /*context*/) {}
};

// The system's resolver (QHostInfo).
class SystemHostResolver final : public HostResolver
{
public:
    bool Start(const QString& nameOrAddress, bool reverse, QObject* context, Done done, int& error) override;
    void Abandon(QObject* context) override;

private:
    QObject* m_context = nullptr;
    int m_lookupId = -1;
};

class TKHostInf
{
public:
    // Sender, the entry's first IPv4 address, its name and its alias names (code page 932).
    using TKHostEvent = std::function<void(TKHostInf& sender, const std::string& addr,
                                           const std::string& hostName, const text::StringList& aliasName)>;
    using TKWSockErrEvent = std::function<void(TKHostInf& sender, int errCod)>;

    // Without a resolver the system's is used; a given one must outlive the component.
    explicit TKHostInf(HostResolver* resolver = nullptr);
    ~TKHostInf();
    TKHostInf(const TKHostInf&) = delete;
    TKHostInf& operator=(const TKHostInf&) = delete;

    // Cancels any outstanding look-up, then starts a reverse look-up for a dotted IPv4 address or a
    // name look-up for anything else. A look-up that cannot start raises OnError at once.
    void StartLookup(const std::string& nameOrAddress);
    // Forgets the outstanding look-up; neither event follows for it.
    void CancelLookup();
    bool Outstanding() const { return m_task != nullptr; }

    TKHostEvent OnFind;
    TKWSockErrEvent OnError;

private:
    void Completed(QObject* task, const QHostInfo& info, bool reverse, const QString& asked);
    void RaiseError(int error);

    std::unique_ptr<SystemHostResolver> m_systemResolver;
    HostResolver* m_resolver;
    QObject* m_task = nullptr; // context of the outstanding look-up; owned
};

// The wait for one host name, as the check cycle uses it. Owns the handlers of the component.
class HostNameLookup
{
public:
    explicit HostNameLookup(TKHostInf& hostInf);

    // The host name of the address, or empty when it has none, the look-up failed, it was cancelled
    // or timeoutMs (when not negative) passed. The same value is left in NewHostName.
    std::string LookupHostName(const std::string& address, int timeoutMs = -1);
    // For the abort timer: cancels the look-up and ends the wait with an empty name.
    void CancelLookup();

    bool LookupPending = false;
    std::string NewHostName;
    // The last look-up found a name that is no valid host name (IsValidHostName); NewHostName is
    // empty then, as when no name was found.
    bool NameRefused = false;

private:
    TKHostInf& m_hostInf;
};

// True for a text that the look-up treats as an IPv4 address (reverse look-up).
bool IsDottedAddress(const QString& text);

// True for a name fit to stand in a link: letters, digits, hyphens and dots only, labels of 1 to 63
// characters, at most 253 in all. A name from a reverse look-up is whatever the address's owner
// registered, so anything else is not used.
bool IsValidHostName(std::string_view name);

} // namespace netinfo
