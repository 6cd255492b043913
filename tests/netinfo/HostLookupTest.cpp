#include "netinfo/wssmpl.h"
#include "platform/WaitLoop.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>

using namespace netinfo;

namespace {

// Answers from the event loop as a real resolver does; never asks anybody.
class ScriptedResolver final : public HostResolver
{
public:
    struct Query
    {
        QString text;
        bool reverse;
    };

    bool Start(const QString& text, bool reverse, QObject* context, Done done, int& error) override
    {
        queries.push_back({text, reverse});
        if (startError) {
            error = startError;
            return false;
        }
        if (silent)
            return true;
        QHostInfo info;
        const auto it = answers.find(text);
        if (it == answers.end()) {
            info.setError(QHostInfo::HostNotFound);
        } else if (reverse) {
            info.setHostName(it->second);
            info.setAddresses({QHostAddress(text)});
        } else {
            info.setHostName(text);
            info.setAddresses({QHostAddress(QStringLiteral("2001:db8::1")), QHostAddress(it->second)});
        }
        QTimer::singleShot(0, context, [this, done, info] {
            ++delivered;
            done(info);
        });
        return true;
    }
    void Abandon(QObject*) override { ++abandoned; }

    std::map<QString, QString> answers; // address -> name for reverse, name -> address otherwise
    std::vector<Query> queries;
    int startError = 0;
    bool silent = false;
    int delivered = 0;
    int abandoned = 0;
};

// Everything that the event loop has queued now, delivered.
void DeliverPending()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

struct Events
{
    std::vector<std::string> found; // "addr name"
    std::vector<int> errors;
    void Attach(TKHostInf& component)
    {
        component.OnFind = [this](TKHostInf&, const std::string& addr, const std::string& name,
                                  const text::StringList& aliases) {
            EXPECT_TRUE(aliases.empty());
            found.push_back(addr + " " + name);
        };
        component.OnError = [this](TKHostInf&, int error) { errors.push_back(error); };
    }
};

} // namespace

TEST(HostLookup, DottedAddressesAreLookedUpInReverseAndNamesForward)
{
    ScriptedResolver resolver;
    resolver.answers = {{QStringLiteral("203.0.113.5"), QStringLiteral("host5.example.net")},
                        {QStringLiteral("router.example.net"), QStringLiteral("198.51.100.1")}};
    TKHostInf component(&resolver);
    Events events;
    events.Attach(component);

    component.StartLookup("203.0.113.5");
    EXPECT_TRUE(events.found.empty()) << "the answer must come from the event loop";
    DeliverPending();
    component.StartLookup("router.example.net");
    DeliverPending();
    // "127.1" is an address to the socket layer too.
    component.StartLookup("127.1");
    DeliverPending();

    ASSERT_EQ(resolver.queries.size(), 3u);
    EXPECT_TRUE(resolver.queries[0].reverse);
    EXPECT_FALSE(resolver.queries[1].reverse);
    EXPECT_TRUE(resolver.queries[2].reverse);
    EXPECT_EQ(resolver.queries[2].text, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(events.found,
              (std::vector<std::string>{"203.0.113.5 host5.example.net", "198.51.100.1 router.example.net"}));
    EXPECT_EQ(events.errors, (std::vector<int>{kWsaHostNotFound}));
    EXPECT_FALSE(component.Outstanding());
}

TEST(HostLookup, AnAddressWithoutNameIsAnError)
{
    // Without a registered name the system resolver answers with the address itself.
    ScriptedResolver resolver;
    resolver.answers = {{QStringLiteral("203.0.113.9"), QStringLiteral("203.0.113.9")}};
    TKHostInf component(&resolver);
    HostNameLookup lookup(component);
    lookup.NewHostName = "stale";
    EXPECT_EQ(lookup.LookupHostName("203.0.113.9", 20000), "");
    EXPECT_EQ(lookup.NewHostName, "");
    EXPECT_FALSE(lookup.LookupPending);
    EXPECT_EQ(resolver.delivered, 1);
}

TEST(HostLookup, TheWaitReturnsTheNameAndLeavesItInNewHostName)
{
    ScriptedResolver resolver;
    resolver.answers = {{QStringLiteral("198.51.100.77"), QStringLiteral("home.example.jp")}};
    TKHostInf component(&resolver);
    HostNameLookup lookup(component);
    EXPECT_EQ(lookup.LookupHostName("198.51.100.77", 20000), "home.example.jp");
    EXPECT_EQ(lookup.NewHostName, "home.example.jp");
    EXPECT_EQ(resolver.delivered, 1);
}

TEST(HostLookup, AStartThatFailsRaisesTheErrorAtOnce)
{
    ScriptedResolver resolver;
    resolver.startError = 10050;
    TKHostInf component(&resolver);
    Events events;
    events.Attach(component);
    component.StartLookup("203.0.113.5");
    EXPECT_EQ(events.errors, (std::vector<int>{10050}));
    EXPECT_FALSE(component.Outstanding());

    HostNameLookup lookup(component);
    EXPECT_EQ(lookup.LookupHostName("203.0.113.5"), ""); // no time limit: it must not wait at all
    EXPECT_FALSE(lookup.LookupPending);
}

TEST(HostLookup, CancelledLookupsNeverAnswer)
{
    ScriptedResolver resolver;
    resolver.answers = {{QStringLiteral("203.0.113.1"), QStringLiteral("one.example")},
                        {QStringLiteral("203.0.113.2"), QStringLiteral("two.example")}};
    TKHostInf component(&resolver);
    Events events;
    events.Attach(component);

    component.StartLookup("203.0.113.1");
    component.CancelLookup();
    DeliverPending();
    EXPECT_TRUE(events.found.empty());
    EXPECT_TRUE(events.errors.empty());
    EXPECT_EQ(resolver.abandoned, 1);

    // Starting a new look-up cancels the outstanding one: only the second answers.
    component.StartLookup("203.0.113.1");
    component.StartLookup("203.0.113.2");
    DeliverPending();
    EXPECT_EQ(events.found, (std::vector<std::string>{"203.0.113.2 two.example"}));
    EXPECT_EQ(resolver.delivered, 1);
}

TEST(HostLookup, TheAbortTimerEndsTheWaitWithAnEmptyName)
{
    ScriptedResolver resolver;
    resolver.silent = true; // a name server that never answers
    TKHostInf component(&resolver);
    HostNameLookup lookup(component);
    bool watchdogFired = false;
    QTimer::singleShot(0, [&] { lookup.CancelLookup(); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        watchdogFired = true;
        lookup.CancelLookup();
    });
    watchdog.start(20000);
    EXPECT_EQ(lookup.LookupHostName("203.0.113.5"), "");
    EXPECT_FALSE(watchdogFired);
    EXPECT_FALSE(lookup.LookupPending);
    EXPECT_FALSE(component.Outstanding());
    EXPECT_EQ(resolver.abandoned, 1);
}

TEST(HostLookup, DestroyingTheComponentDropsItsLookup)
{
    ScriptedResolver resolver;
    resolver.answers = {{QStringLiteral("203.0.113.1"), QStringLiteral("one.example")}};
    Events events;
    {
        TKHostInf component(&resolver);
        events.Attach(component);
        component.StartLookup("203.0.113.1");
    }
    DeliverPending();
    EXPECT_EQ(resolver.delivered, 0);
    EXPECT_TRUE(events.found.empty());
}

// Only this machine's own names go through the system's resolver.
TEST(HostLookupSystem, LoopbackAddressAndLocalhost)
{
    TKHostInf component;
    HostNameLookup lookup(component);
    const std::string name = lookup.LookupHostName("127.0.0.1", 20000);
    EXPECT_FALSE(name.empty());
    EXPECT_NE(name, "127.0.0.1");

    TKHostInf forward;
    Events events;
    events.Attach(forward);
    forward.StartLookup("localhost");
    ASSERT_EQ(platform::WaitUntil([&] { return !forward.Outstanding(); }, 20000), platform::WaitResult::Done);
    ASSERT_EQ(events.found.size(), 1u);
    EXPECT_EQ(events.found[0], "127.0.0.1 localhost");
}
