// A name from a reverse look-up goes into the published links only when it is a valid host name.
#include "core/OperationLog.h"
#include "cycle/CheckCycle.h"
#include "cycle/MainComponents.h"
#include "netinfo/wssmpl.h"
#include "platform/ScriptedUserInterface.h"
#include "support/CheckCycleTestAccess.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

using netinfo::IsValidHostName;

namespace {

// Answers every reverse look-up with one name, from the event loop, as a real resolver does.
class OneNameResolver final : public netinfo::HostResolver
{
public:
    explicit OneNameResolver(QString name) : m_name(std::move(name)) {}
    bool Start(const QString& text, bool, QObject* context, Done done, int&) override
    {
        if (m_name.isEmpty())
            return true; // never answers
        QHostInfo info;
        info.setHostName(m_name);
        info.setAddresses({QHostAddress(text)});
        QTimer::singleShot(0, context, [done, info] { done(info); });
        return true;
    }

private:
    QString m_name;
};

const char* const kScriptName = "evil\"><script>alert(1)</script>";

} // namespace

TEST(HostNameCheck, OnlyLettersDigitsHyphensAndDotsInLabelsOfOneTo63)
{
    EXPECT_TRUE(IsValidHostName("p1234-ipbf.example.ne.jp"));
    EXPECT_TRUE(IsValidHostName("localhost"));
    EXPECT_TRUE(IsValidHostName(std::string(63, 'a') + ".jp"));
    EXPECT_FALSE(IsValidHostName(std::string(64, 'a') + ".jp"));
    // 253 characters in all at most.
    std::string longest;
    while (longest.size() < 253)
        longest += longest.empty() ? "a" : ".a";
    EXPECT_EQ(longest.size(), 253u);
    EXPECT_TRUE(IsValidHostName(longest));
    EXPECT_FALSE(IsValidHostName(longest + "a"));
    for (const char* bad : {"", ".", "a..b", ".a", "a.", "a b", "a_b.jp", "a/b", "a\"b", "a<b", "a\r\nb",
                            "ホスト.jp", kScriptName})
        EXPECT_FALSE(IsValidHostName(bad)) << bad;
}

TEST(HostNameCheck, ANameThatIsNoHostNameIsTreatedAsNoNameWithOneRow)
{
    testsupport::TempFolder folder;
    core::OperationLog log;
    platform::ScriptedUserInterface ui;
    OneNameResolver evil{QString::fromLatin1(kScriptName)};
    core::CheckCycle cycle(log, ui, [&](const core::CycleMediator& m) {
        return std::make_unique<core::MainComponents>(m, &evil);
    });
    cycle.SetLockFolder(folder.path());
    ASSERT_TRUE(cycle.FormCreate());

    EXPECT_EQ(core::CheckCycleTestAccess::Steps(cycle)->LookupHostName("203.0.113.77"), "");
    ASSERT_EQ(log.Rows().size(), 1u);
    EXPECT_EQ(log.Rows()[0].Text, text::Sjis(u8"ﾎｽﾄ名が正しくないため、IPｱﾄﾞﾚｽでﾘﾝｸします。203.0.113.77"));
    // Nothing of the name reaches the log either.
    EXPECT_EQ(log.Rows()[0].Text.find("script"), std::string::npos);
}

TEST(HostNameCheck, AValidNameIsUsedWithoutARow)
{
    testsupport::TempFolder folder;
    core::OperationLog log;
    platform::ScriptedUserInterface ui;
    OneNameResolver good{QStringLiteral("p1.example.ne.jp")};
    core::CheckCycle cycle(log, ui, [&](const core::CycleMediator& m) {
        return std::make_unique<core::MainComponents>(m, &good);
    });
    cycle.SetLockFolder(folder.path());
    ASSERT_TRUE(cycle.FormCreate());
    EXPECT_EQ(core::CheckCycleTestAccess::Steps(cycle)->LookupHostName("203.0.113.77"), "p1.example.ne.jp");
    EXPECT_TRUE(log.Rows().empty());
}

TEST(HostNameCheck, ALookUpThatIsNeverAnsweredEndsAtTheCheckTimeOut)
{
    qputenv("QUILLMAP_MINUTE_MS", "200");
    testsupport::TempFolder folder;
    core::OperationLog log;
    platform::ScriptedUserInterface ui;
    OneNameResolver silent{QString()};
    core::CheckCycle cycle(log, ui, [&](const core::CycleMediator& m) {
        return std::make_unique<core::MainComponents>(m, &silent);
    });
    cycle.SetLockFolder(folder.path());
    ASSERT_TRUE(cycle.FormCreate());
    core::CheckCycleTestAccess::State(cycle).Settings->TimeOut = 1;
    // Without a limit of its own only this would end the wait.
    bool safetyFired = false;
    QTimer::singleShot(10000, &cycle, [&] {
        safetyFired = true;
        core::CheckCycleTestAccess::Steps(cycle)->AbortNetwork();
    });
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(core::CheckCycleTestAccess::Steps(cycle)->LookupHostName("203.0.113.77"), "");
    EXPECT_FALSE(safetyFired);
    EXPECT_LT(elapsed.elapsed(), 5000);
    qunsetenv("QUILLMAP_MINUTE_MS");
}
