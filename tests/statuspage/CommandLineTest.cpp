// The three command-line tools, run as the user runs them.
#include "RouterFixture.h"
#include "TestPaths.h"

#include "core/StatusPage.h"
#include "core/StatusPageHttp.h"
#include "platform/Codepage.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"

#include <gtest/gtest.h>

using routertest::Router;
using testsupport::TempFolder;

namespace {

struct Result
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Result RunQuillmap(const QStringList& args)
{
    const testsupport::ProgramResult r = testsupport::RunProgram(args, 60000);
    return {r.exitCode, QByteArray::fromStdString(r.out), QByteArray::fromStdString(r.err)};
}

QString Fixture(const char* name)
{
    return QStringLiteral(QUILLMAP_TESTS_DIR "/fixtures/netinfo/") + QLatin1String(name);
}

QByteArray Utf8(std::u8string_view text)
{
    return QByteArray(reinterpret_cast<const char*>(text.data()), static_cast<qsizetype>(text.size()));
}

} // namespace

TEST(FindAddressCommand, AutomaticAndKeySearchOnASavedPage)
{
    TempFolder folder;
    const QString page = folder.file(QStringLiteral("status.html"));
    testsupport::WriteBytes(
        page, text::Sjis(u8"<td>LAN</td><td>192.168.0.1</td><td>DNS</td><td>203.0.113.1</td>"
                         u8"<td>WAN側</td><td>203.0.113.45</td><td>予備</td><td>198.51.100.3</td>"));
    Result r = RunQuillmap({QStringLiteral("find-address"), page});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QByteArray("203.0.113.45\n"));
    // The key is typed in UTF-8 and looked for in the code page 932 page.
    r = RunQuillmap({QStringLiteral("find-address"), QStringLiteral("--key"), QStringLiteral("予備"), page});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QByteArray("198.51.100.3\n"));
    r = RunQuillmap(
        {QStringLiteral("find-address"), QStringLiteral("--key"), QStringLiteral("missing"), page});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, QByteArray());
    r = RunQuillmap({QStringLiteral("find-address"), folder.file(QStringLiteral("absent.html"))});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("cannot read"));
    EXPECT_EQ(RunQuillmap({QStringLiteral("find-address")}).exitCode, 2);
}

TEST(FindAddressCommand, ExplainTellsWhyEachCandidateWasTakenOrPassedOver)
{
    TempFolder folder;
    const QString page = folder.file(QStringLiteral("cgn.html"));
    testsupport::WriteBytes(page, "<td>LAN</td><td>192.168.0.1</td><td>WAN</td><td>100.64.3.4</td>");
    Result r = RunQuillmap({QStringLiteral("find-address"), QStringLiteral("--explain"), page});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out,
              Utf8(u8"17文字目 192.168.0.1  除外 (ﾌﾟﾗｲﾍﾞｰﾄｱﾄﾞﾚｽ)\n"
                   u8"49文字目 100.64.3.4  除外 (ｷｬﾘｱｸﾞﾚｰﾄﾞNATのｱﾄﾞﾚｽ(100.64.0.0/10)。外からは届きません)\n"
                   u8"結果: 見つかりませんでした。\n"));
    r = RunQuillmap({QStringLiteral("find-address"), QStringLiteral("--explain"), QStringLiteral("--key"),
                     QStringLiteral("LAN"), page});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.startsWith(Utf8(u8"検索ｷｰ: 5文字目"))) << r.out.toStdString();
}

TEST(FindAddressCommand, Ipv6PrintsEveryAddressWithItsReasonAndTheSettingsChoice)
{
    TempFolder folder;
    const QString table = QStringLiteral(QUILLMAP_TESTS_DIR "/fixtures/netinfo/ipv6/renumbered.txt");
    Result r = RunQuillmap({QStringLiteral("--home"), folder.path(), QStringLiteral("find-address"),
                            QStringLiteral("--ipv6"), QStringLiteral("--table"), table});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(
        r.out,
        Utf8(u8"lo  ::1  除外 (ﾙｰﾌﾟﾊﾞｯｸｱﾄﾞﾚｽ(::1))\n"
             u8"eth0  2001:db8:e0:5:21e:6ff:fe33:4455  採用\n"
             u8"eth0  2001:db8:d0:5:21e:6ff:fe33:4455  除外 "
             u8"(非推奨(deprecated)のｱﾄﾞﾚｽ。まもなく使えなくなります)\n"
             u8"eth0  2001:db8:e0:5:70c2:1b9e:44af:2d01  除外 "
             u8"(一時ｱﾄﾞﾚｽ(ﾌﾟﾗｲﾊﾞｼｰ拡張)。時間がたつと変わります)\n"
             u8"eth0  fe80::21e:6ff:fe33:4455  除外 (ﾘﾝｸﾛｰｶﾙｱﾄﾞﾚｽ(fe80::/10)。同じﾘﾝｸの中でしか使えません)\n"
             u8"結果: 2001:db8:e0:5:21e:6ff:fe33:4455 (eth0)\n"));
    // The settings' interface and suffix count unless the options name others.
    settings::TConfig config;
    settings::LoadSettings(config, nullptr);
    config.Ipv6Suffix = "::10";
    config.Ipv6Interface = "eth1";
    settings::SaveSettings(config, settings::SaveScope::All);
    r = RunQuillmap({QStringLiteral("--home"), folder.path(), QStringLiteral("find-address"),
                     QStringLiteral("--ipv6"), QStringLiteral("--table"), table});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(
        r.out.endsWith(Utf8(u8"結果: 見つかりませんでした。ｲﾝﾀｰﾌｪｲｽ eth1 にIPv6ｱﾄﾞﾚｽがありません。\n")))
        << r.out.toStdString();
    r = RunQuillmap({QStringLiteral("--home"), folder.path(), QStringLiteral("find-address"),
                     QStringLiteral("--ipv6"), QStringLiteral("--interface"), QStringLiteral("eth0"),
                     QStringLiteral("--table"), table});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("\n" + Utf8(u8"結果: 2001:db8:e0:5::10 (eth0)"))) << r.out.toStdString();

    // The IPv6 options and the page search do not mix; a table that cannot be read is said.
    for (const QStringList& wrong : {QStringList{QStringLiteral("--ipv6"), table},
                                     QStringList{QStringLiteral("--suffix"), QStringLiteral("::10"), table},
                                     QStringList{QStringLiteral("--ipv6"), QStringLiteral("--explain")}}) {
        r = RunQuillmap(QStringList{QStringLiteral("--home"), folder.path(), QStringLiteral("find-address")} +
                        wrong);
        EXPECT_EQ(r.exitCode, 2) << wrong.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains("usage:")) << r.err.toStdString();
    }
    r = RunQuillmap({QStringLiteral("--home"), folder.path(), QStringLiteral("find-address"),
                     QStringLiteral("--ipv6"), QStringLiteral("--table"),
                     folder.file(QStringLiteral("absent.txt"))});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("cannot read"));
}

TEST(FetchStatusCommand, WritesTheBodyMarkupAsTheCheckSeesIt)
{
    Router router;
    ASSERT_TRUE(router.ok());
    TempFolder folder;
    settings::TConfig config = router.Settings();
    settings::SaveSettings(config, settings::SaveScope::All);

    // What the program itself reads from the router.
    core::HttpStatusFetcher fetcher;
    core::StatusPage page(fetcher);
    page.TimeLimitMs = 30000;
    ASSERT_TRUE(page.FetchStatusPage(config));
    ASSERT_FALSE(page.StatusHtml.empty());

    const Result r = RunQuillmap({QStringLiteral("--home"), folder.path(), QStringLiteral("fetch-status")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.toStdString(), page.StatusHtml);
}

TEST(FetchStatusCommand, ReportsWhatWentWrong)
{
    Router router;
    ASSERT_TRUE(router.ok());
    TempFolder folder;
    const QStringList fetch = {QStringLiteral("--home"), folder.path(), QStringLiteral("fetch-status")};

    // No router address set.
    settings::TConfig config = router.Settings();
    config.GatewayIP.clear();
    settings::SaveSettings(config, settings::SaveScope::All);
    Result r = RunQuillmap(fetch);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(Utf8(u8"ﾙｰﾀのｽﾃｰﾀｽﾍﾟｰｼﾞにｱｸｾｽできませんでした。"))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());

    // A page that never ends, given up after the time limit.
    config = router.Settings("/endless.html");
    settings::SaveSettings(config, settings::SaveScope::All);
    r = RunQuillmap(fetch + QStringList{QStringLiteral("--timeout"), QStringLiteral("1")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("time-out")) << r.err.toStdString();

    // A refusal page is still a page: it is written, with a warning.
    config = router.Settings();
    config.StatusPass = "wrong";
    settings::SaveSettings(config, settings::SaveScope::All);
    r = RunQuillmap(fetch);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("Unauthorized"));
    EXPECT_TRUE(r.err.contains("HTTP 401"));
}

TEST(TestRouterCommand, PrintsTheDialogTextInUtf8)
{
    Result r =
        RunQuillmap({QStringLiteral("test-router"), QStringLiteral("--from"), Fixture("wireless-first")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, Utf8(u8"ｱﾀﾞﾌﾟﾀのIPｱﾄﾞﾚｽ: 192.168.10.5\nﾙｰﾀのIPｱﾄﾞﾚｽ: 192.168.10.1\n\n"
                          u8"この結果が正しくない場合はIPｱﾄﾞﾚｽを指定してください。\n"));

    r = RunQuillmap({QStringLiteral("test-router"), QStringLiteral("--tree"), QStringLiteral("--from"),
                     Fixture("two-wired")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.startsWith(Utf8(u8"ｱﾀﾞﾌﾟﾀ名: eth1\n  説明: Ethernet (e1000e)\n  IPｱﾄﾞﾚｽ: 192.168.1.20\n"
                                      u8"  ｹﾞｰﾄｳｪｲ: 192.168.1.1\nｱﾀﾞﾌﾟﾀのIPｱﾄﾞﾚｽ: 192.168.1.20\n")))
        << r.out.toStdString();

    r = RunQuillmap({QStringLiteral("test-router"), QStringLiteral("--from"), Fixture("no-adapter")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, Utf8(u8"取得できませんでした。\n\nアダプタ情報が存在しません。\n"));

    // This machine: one of the two forms, whatever its adapters are.
    r = RunQuillmap({QStringLiteral("test-router")});
    EXPECT_TRUE((r.exitCode == 0 && r.out.startsWith(Utf8(u8"ｱﾀﾞﾌﾟﾀのIPｱﾄﾞﾚｽ: "))) ||
                (r.exitCode == 1 && r.out.startsWith(Utf8(u8"取得できませんでした。"))))
        << r.out.toStdString();
}
