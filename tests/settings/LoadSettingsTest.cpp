// Loading: files of every earlier release, defaults, the rules that depend on the file's version, bad
// files, and the help on the first run.
#include "platform/ProgramFolder.h"
#include "platform/ScriptedUserInterface.h"
#include "settings/ConfigUnit.h"
#include "settings/FirstRun.h"
#include "support/TempFolder.h"

#include "SettingsTestUtil.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <random>

using namespace settings;
using platform::ScriptedUserInterface;
using settingstest::S;
using testsupport::TempFolder;
using testsupport::WriteBytes;
using namespace std::string_literals;

namespace {

using Kind = ScriptedUserInterface::Kind;

// Loads the given file contents from a fresh program folder.
struct Loaded
{
    TempFolder folder;
    ScriptedUserInterface ui;
    TConfig config;

    explicit Loaded(const std::string& contents)
    {
        WriteBytes(folder.file(QStringLiteral("Quillmap.ini")), contents);
        LoadSettings(config, &ui);
    }
};

std::string Latin(const char* s)
{
    return s;
}

} // namespace

class EveryRelease : public testing::TestWithParam<const char*>
{
};

TEST_P(EveryRelease, LoadsAsThatReleaseSavedIt)
{
    const std::string version = GetParam();
    TempFolder folder;
    ASSERT_TRUE(QFile::copy(settingstest::FixturePath(("v" + version + ".ini").c_str()),
                            folder.file(QStringLiteral("Quillmap.ini"))));
    ScriptedUserInterface ui;
    TConfig config;
    LoadSettings(config, &ui);

    const std::vector<std::string> expected =
        settingstest::ReadLines(settingstest::FixturePath(("v" + version + ".expected").c_str()));
    const std::vector<std::string> actual = settingstest::Describe(config);
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i)
        EXPECT_EQ(actual[i], expected[i]);
    EXPECT_TRUE(ui.Calls().empty()) << "no first-run help when a file exists";
}

INSTANTIATE_TEST_SUITE_P(Fixtures, EveryRelease, testing::Values("1.0", "1.1", "1.2", "1.3"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = std::string("v") + info.param;
                             name[2] = '_';
                             return name;
                         });

TEST(LoadSettings, NoFileGivesEveryDefault)
{
    TempFolder folder;
    ScriptedUserInterface ui;
    TConfig c;
    LoadSettings(c, &ui);
    EXPECT_EQ(c.Version, "1.0");
    EXPECT_EQ(c.LeavePlural, 1);
    EXPECT_EQ(c.ShowWindow, 1);
    EXPECT_EQ(c.AutoRun, 0);
    EXPECT_EQ(c.RecLog, 1);
    EXPECT_EQ(c.Interval, 3);
    EXPECT_EQ(c.TimeOut, 3);
    EXPECT_EQ(c.GatewayAuto, 1);
    EXPECT_EQ(c.GatewayIP, "192.168.1.1");
    EXPECT_EQ(c.StatusURL, "/cgi-bin/main.cgi?cc_webname=STATUS");
    EXPECT_EQ(c.StatusPost, "");
    EXPECT_EQ(c.StatusLogon, 1);
    EXPECT_EQ(c.StatusUser, "root");
    EXPECT_EQ(c.StatusPass, "kiwi") << "the default is plain text, not unscrambled";
    EXPECT_EQ(c.GlobalIPAuto, 1);
    EXPECT_EQ(c.GlobalIPKey, "ADSL IP");
    EXPECT_EQ(c.NoScript, 0);
    EXPECT_EQ(c.FtpUpload, 1);
    EXPECT_EQ(c.FtpPasv, 0);
    EXPECT_EQ(c.FtpPort, 21);
    EXPECT_EQ(c.MailNotice, 0);
    EXPECT_EQ(c.MailAddressFrom, "");
    EXPECT_EQ(c.MailHanKana, 1);
    EXPECT_EQ(c.SmtpLogon, 0);
    EXPECT_EQ(c.SmtpPort, 25);
    EXPECT_EQ(c.PopLogon, 0);
    EXPECT_EQ(c.PopPort, 110);
    EXPECT_EQ(c.NoticeItem, 1);
    EXPECT_EQ(c.ReplaceFolder, platform::PathToCp932(QDir::homePath()) + "/public_html");
    EXPECT_EQ(c.ReplaceAllFolder, 0);
    EXPECT_EQ(c.ReplaceLink, "/var/www/html");
    EXPECT_EQ(c.ReplaceExt, "*.htm;*.html;*.shtm;*.shtml");
    EXPECT_EQ(c.ReplaceOnly, 1);
    EXPECT_EQ(c.LogRowMax, 300);
    EXPECT_EQ(c.PrevIP, "");
    EXPECT_EQ(c.RobotUse, 0);
    EXPECT_EQ(c.RobotNo, 0);
    ASSERT_TRUE(c.KeywordsJP && c.KeywordsEN) << "loading creates both lists";
    EXPECT_TRUE(c.KeywordsJP->empty());
    EXPECT_TRUE(c.KeywordsEN->empty());
    EXPECT_EQ(c.ClosedUse, 0);
    EXPECT_EQ(c.ClosedMode, 0);
    EXPECT_EQ(c.ClosedFast, 0);
    EXPECT_EQ(c.ClosedString, "");
    EXPECT_EQ(c.ClosedFile, "");
    EXPECT_EQ(c.IPtoURL, 0);
    EXPECT_EQ(c.Source2, 0);
    for (const std::string* s : {&c.EchoURL, &c.FtpCheckURL, &c.FtpServer, &c.FtpUser, &c.FtpPass, &c.FtpDir,
                                 &c.MailAddress, &c.SmtpServer, &c.SmtpUser, &c.SmtpPass, &c.PopServer,
                                 &c.PopUser, &c.PopPass, &c.DescriptionJP, &c.DescriptionEN})
        EXPECT_EQ(*s, "");
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("Quillmap.ini")))) << "loading never writes";
}

TEST(LoadSettings, WithoutVersionEverythingIsPlainText)
{
    // As a file first written by the Shutdown save looks: no [About].
    Loaded l(
        "[Status]\r\nPass=Kiwi2004\r\n[GlobalIP]\r\nKey=QURTTCBJUA==\r\n[Closed]\r\nString=QURTTCBJUA==\r\n");
    EXPECT_EQ(l.config.Version, "1.0");
    EXPECT_EQ(l.config.StatusPass, "Kiwi2004");
    EXPECT_EQ(l.config.GlobalIPKey, "QURTTCBJUA==");
    EXPECT_EQ(l.config.ClosedString, "ADSL IP") << "Closed/String is Base64 in every version";
}

TEST(LoadSettings, VersionTextsCompareByteByByte)
{
    // The password "abc" scrambled with key 0 would stay "abc"; a URL of "\x05" makes the key 5.
    const std::string legacy = ScrambleText("Secret1", 5, ScrambleAlphabet::LegacyAlphabet);
    const std::string current = ScrambleText("Secret1", 5, ScrambleAlphabet::CurrentAlphabet);
    ASSERT_NE(legacy, current);
    struct Case
    {
        const char* version;
        std::string stored;
        bool keyIsBase64;
    };
    const Case cases[] = {
        {"0.9", "Secret1", false}, {"1", "Secret1", false},  {"1.0", "Secret1", false},
        {"1.05", legacy, false},   {"1.1", legacy, false},   {"1.10", legacy, true},
        {"1.2", legacy, true},     {"1.2.1", current, true}, {"1.3", current, true},
        {"10", current, true},     {"2.0", current, true},
    };
    for (const Case& c : cases) {
        Loaded l(std::string("[About]\r\nVersion=") + c.version +
                 "\r\n[Status]\r\nURL=\x05\r\nUser=\r\nPass=" + c.stored +
                 "\r\n[GlobalIP]\r\nKey=QURTTCBJUA==\r\n");
        EXPECT_EQ(l.config.Version, c.version);
        EXPECT_EQ(l.config.StatusPass, "Secret1") << "version " << c.version;
        EXPECT_EQ(l.config.GlobalIPKey, c.keyIsBase64 ? "ADSL IP" : "QURTTCBJUA==")
            << "version " << c.version;
    }
}

TEST(LoadSettings, ValueDependentDefaults)
{
    Loaded present("[Config]\r\nMailAddress=a@example.jp\r\nReplaceExt=\r\n[GlobalIP]\r\nKey=\r\n");
    EXPECT_EQ(present.config.MailAddressFrom, "a@example.jp") << "the sender defaults to the address";
    EXPECT_EQ(present.config.ReplaceExt, "*.htm;*.html;*.shtm;*.shtml");
    EXPECT_EQ(present.config.GlobalIPKey, "ADSL IP");

    Loaded empty("[Config]\r\nMailAddress=a@example.jp\r\nMailAddressFrom=\r\n[About]\r\nVersion=1.3\r\n"
                 "[GlobalIP]\r\nKey=====\r\n");
    EXPECT_EQ(empty.config.MailAddressFrom, "") << "present but empty stays empty";
    EXPECT_EQ(empty.config.GlobalIPKey, "ADSL IP") << "Base64 that decodes to nothing";
}

TEST(LoadSettings, IntegersFromHandEditedFiles)
{
    Loaded l(
        "[Config]\r\nInterval=0x10\r\nTimeOut=abc\r\nLogRowMax=$64\r\nNoticeItem=-1\r\nShowWindow=2\r\n");
    EXPECT_EQ(l.config.Interval, 16);
    EXPECT_EQ(l.config.TimeOut, 3);
    EXPECT_EQ(l.config.LogRowMax, 100);
    EXPECT_EQ(l.config.NoticeItem, -1);
    EXPECT_EQ(l.config.ShowWindow, 2) << "a flag keeps the value read";
}

TEST(LoadSettings, Keywords)
{
    Loaded l(S(u8"[ForRobot]\r\nKeyJP=自宅,サーバ,\r\nKeyEN=\"home server\",router,a\"b\r\n"));
    ASSERT_TRUE(l.config.KeywordsJP);
    EXPECT_EQ(*l.config.KeywordsJP, (text::StringList{S(u8"自宅"), S(u8"サーバ"), ""}));
    // The list was joined without quoting, so it is split without: quotes are part of the keywords.
    EXPECT_EQ(*l.config.KeywordsEN, (text::StringList{"\"home server\"", "router", "a\"b"}));
}

TEST(LoadSettings, BadFilesGiveDefaultsAndNeverCrash)
{
    const std::string longLine(100000, 'x');
    Loaded l("\x00\x01\x02garbage\xFF\xFE\r\n"s + longLine +
             "\r\n[Config]\r\nInterval\r\nTimeOut=\x81\r\nLogRowMax=5" + longLine + "\r\n[Status]\r\nURL=" +
             longLine + "\r\nUser\x00=x\r\n"s + "[About]\r\nVersion=1.3\r\n[FTP]\r\nPort=2");
    EXPECT_EQ(l.config.Interval, 3);
    EXPECT_EQ(l.config.TimeOut, 3);
    EXPECT_EQ(l.config.LogRowMax, 300);
    EXPECT_EQ(l.config.StatusURL, std::string(2047, 'x'));
    EXPECT_EQ(l.config.FtpPort, 2) << "a last line without a line end";
    EXPECT_EQ(l.config.GatewayIP, "192.168.1.1") << "missing section";
}

TEST(LoadSettings, RandomBytesLoadAndSurviveASave)
{
    std::mt19937 rng(77);
    const std::string pieces[] = {"[Config]",  "[Status]", "[ForRobot]", "[About]", "Version=1.2", "Pass=",
                                  "Interval=", "KeyJP=",   ",",          "\"",      "=",           "\r\n",
                                  "\n",        "\r",       "\x81",       "\xE0"};
    for (int round = 0; round < 40; ++round) {
        std::string contents;
        std::uniform_int_distribution<int> pick(0, 40);
        for (int i = 0; i < 3000; ++i) {
            const int p = pick(rng);
            contents += p < 16 ? pieces[p] : std::string(1, static_cast<char>(rng() & 0xFF));
        }
        Loaded first(contents);
        ASSERT_NO_THROW(SaveSettings(first.config, SaveScope::All));
        TConfig again;
        LoadSettings(again, nullptr);
        std::vector<std::string> a = settingstest::Describe(first.config, false);
        std::vector<std::string> b = settingstest::Describe(again, false);
        // Version becomes "1.3"; keyword lists lose leading empty items (nothing separates them).
        for (size_t i = 0; i < a.size(); ++i) {
            if (a[i].starts_with("About/Version"))
                continue;
            if (a[i].starts_with("ForRobot/Key")) {
                const size_t eq = a[i].find('=');
                size_t start = eq + 1;
                while (start < a[i].size() && a[i][start] == ',')
                    ++start;
                a[i].erase(eq + 1, start - eq - 1);
            }
            EXPECT_EQ(b[i], a[i]) << "round " << round;
        }
    }
}

TEST(FirstRun, OpensTheReadmeOfTheProgramFolder)
{
    TempFolder folder;
    WriteBytes(folder.file(QStringLiteral("Readme.txt")), "readme\r\n");
    ScriptedUserInterface ui;
    TConfig c;
    LoadSettings(c, &ui);
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].kind, Kind::Open);
    EXPECT_EQ(ui.Calls()[0].text, platform::PathToCp932(folder.file(QStringLiteral("Readme.txt"))));

    // Only while there is no settings file.
    SaveSettings(c, SaveScope::Shutdown);
    ui.Clear();
    LoadSettings(c, &ui);
    EXPECT_TRUE(ui.Calls().empty());
}

TEST(FirstRun, WithoutReadmeAMessageSaysToReadIt)
{
    TempFolder folder;
    TempFolder install(false);
    ScriptedUserInterface ui;
    ShowFirstRunHelp(&ui, folder.path(), install.path());
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].kind, Kind::Message);
    EXPECT_EQ(ui.Calls()[0].text,
              S(u8"初めての方は付属しているはずのReadme.txtをご覧になってからお使いください。"));
    EXPECT_EQ(ui.Calls()[0].caption, Latin("Quillmap"));
}

TEST(FirstRun, CopiesTheShippedReadmeIntoTheProgramFolder)
{
    TempFolder folder;
    TempFolder install(false);
    WriteBytes(install.file(QStringLiteral("Readme.txt")), "shipped\r\n");
    ScriptedUserInterface ui;
    ShowFirstRunHelp(&ui, folder.path(), install.path());
    EXPECT_EQ(testsupport::ReadBytes(folder.file(QStringLiteral("Readme.txt"))), "shipped\r\n");
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].kind, Kind::Open);

    // A Readme.txt the user keeps in the program's folder is never replaced.
    WriteBytes(folder.file(QStringLiteral("Readme.txt")), "mine\r\n");
    ShowFirstRunHelp(nullptr, folder.path(), install.path());
    EXPECT_EQ(testsupport::ReadBytes(folder.file(QStringLiteral("Readme.txt"))), "mine\r\n");
}

TEST(FirstRun, MessageWhenTheReadmeCannotBeOpened)
{
    TempFolder folder;
    WriteBytes(folder.file(QStringLiteral("Readme.txt")), "readme\r\n");
    ScriptedUserInterface ui;
    ui.SetOpenResult(false);
    ShowFirstRunHelp(&ui, folder.path(), QString());
    ASSERT_EQ(ui.Calls().size(), 2u);
    EXPECT_EQ(ui.Calls()[0].kind, Kind::Open);
    EXPECT_EQ(ui.Calls()[1].kind, Kind::Message);
}
