// The check's dynamic DNS step as the program wires it (MainComponents): one log row per update that
// sent something, the state written to the settings file at once, nothing secret in the log, and
// nothing at all while dynamic DNS is off.
#include "core/CycleMediator.h"
#include "core/MainState.h"
#include "core/OperationLog.h"
#include "cycle/MainComponents.h"
#include "platform/ScriptedUserInterface.h"
#include "settings/ConfigUnit.h"
#include "support/ServerProcess.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

TEST(DdnsCheckStep, LogsOneRowKeepsTheStateInTheFileAndNeverThePassword)
{
    testsupport::ServerProcess server;
    ASSERT_TRUE(server.startPython(QStringLiteral("ddns_provider.py"),
                                   {QStringLiteral("--password"), QStringLiteral("n0t-in-the-log")}))
        << server.error().toStdString();
    testsupport::TempFolder folder;
    core::MainState state;
    state.Settings = std::make_unique<settings::TConfig>();
    settings::TConfig& c = *state.Settings;
    settings::LoadSettings(c, nullptr);
    c.DdnsUse = 0;
    c.DdnsProvider = "dyndns2";
    c.DdnsHosts = "home.example.test";
    c.DdnsUser = "user";
    c.DdnsPass = "n0t-in-the-log";
    c.DdnsRecords = 4;
    c.DdnsServer = "http://127.0.0.1:" + std::to_string(server.port());
    settings::SaveSettings(c, settings::SaveScope::All);
    core::OperationLog log;
    platform::ScriptedUserInterface ui;
    core::MainComponents steps(core::CycleMediator{state, log, ui, {}});
    const auto requests = [&server] { return server.httpGet(QStringLiteral("/_control/requests")).toInt(); };
    const auto ini = [&folder] {
        return testsupport::ReadBytes(folder.file(QStringLiteral("Quillmap.ini")));
    };

    // Off: nothing is sent, nothing logged.
    EXPECT_TRUE(steps.UpdateDynamicDns("203.0.113.5").MailLine.empty());
    EXPECT_EQ(requests(), 0);
    EXPECT_TRUE(log.Rows().empty());

    c.DdnsUse = 1;
    const core::DynamicDnsStep done = steps.UpdateDynamicDns("203.0.113.5");
    EXPECT_FALSE(done.StoppedNow);
    EXPECT_NE(done.MailLine.find("203.0.113.5"), std::string::npos);
    ASSERT_EQ(log.Rows().size(), 1u);
    EXPECT_EQ(log.Rows()[0].Kind, core::lkEvent);
    EXPECT_NE(log.Rows()[0].Text.find("home.example.test A 203.0.113.5"), std::string::npos)
        << log.Rows()[0].Text;
    EXPECT_NE(ini().find("SentA=203.0.113.5\r\n"), std::string::npos);

    // The same address again: no request, no row.
    EXPECT_TRUE(steps.UpdateDynamicDns("203.0.113.5").MailLine.empty());
    EXPECT_EQ(requests(), 1);
    EXPECT_EQ(log.Rows().size(), 1u);

    // A refusal: one row of kind 0, the stop in the file, so that a restart does not try again.
    ASSERT_EQ(server.httpGet(QStringLiteral("/_control/override?status=200&body=badauth%20n0t-in-the-log")),
              QByteArray("ok"));
    const core::DynamicDnsStep refused = steps.UpdateDynamicDns("203.0.113.6");
    EXPECT_TRUE(refused.StoppedNow);
    ASSERT_EQ(log.Rows().size(), 2u);
    EXPECT_EQ(log.Rows()[1].Kind, core::lkRunFailure);
    EXPECT_NE(ini().find("Stopped=1\r\n"), std::string::npos);
    settings::TConfig reloaded;
    settings::LoadSettings(reloaded, nullptr);
    EXPECT_EQ(reloaded.DdnsStopped, 1);
    EXPECT_EQ(reloaded.DdnsPass, "n0t-in-the-log");
    EXPECT_FALSE(steps.UpdateDynamicDns("203.0.113.7").StoppedNow);
    EXPECT_EQ(requests(), 2);
    EXPECT_EQ(log.Rows().size(), 2u);
    for (const core::LogRow& row : log.Rows())
        EXPECT_EQ(row.Text.find("n0t-in-the-log"), std::string::npos) << row.Text;
    EXPECT_EQ(ini().find("n0t-in-the-log"), std::string::npos);
}
