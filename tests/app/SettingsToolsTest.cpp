// `quillmap settings get|set|unset|check` through the real program: values typed in UTF-8 land in the
// file exactly as the settings dialog would save them, and every value the dialog refuses is refused
// with the dialog's message and the file left as it was.
#include "ToolRun.h"
#include "platform/Codepage.h"
#include "platform/ProgramFolder.h"
#include "platform/ProfileFile.h"
#include "settings/ConfigUnit.h"
#include "support/ServerProcess.h"
#include "text/Sjis.h"

#include <QDir>
#include <functional>
#include <gtest/gtest.h>

using testsupport::ReadBytes;
using testsupport::TempFolder;
using testsupport::WriteBytes;
using tooltest::Ini;
using tooltest::Settings;

namespace {

// The file the settings dialog's OK writes in a folder of its own, after change() on the settings
// loaded there (the dialog edits the loaded settings and saves them with scope All).
std::string DialogSaves(const std::string& startBytes, const std::function<void(settings::TConfig&)>& change)
{
    const TempFolder dialog; // the program's folder of this process
    if (!startBytes.empty())
        WriteBytes(dialog.file(QStringLiteral("Quillmap.ini")), startBytes);
    settings::TConfig c;
    settings::LoadSettings(c, nullptr);
    change(c);
    settings::SaveSettings(c, settings::SaveScope::All);
    return ReadBytes(dialog.file(QStringLiteral("Quillmap.ini")));
}

// Settings that pass every check: uploads to a server with an existing page folder.
std::string ValidSettings(const TempFolder& pages)
{
    return DialogSaves({}, [&pages](settings::TConfig& c) {
        c.FtpServer = "ftp.example.test";
        c.ReplaceFolder = platform::PathToCp932(pages.path());
        c.ReplaceLink = "/var/www/html";
    });
}

std::string Utf8(std::u8string_view s)
{
    return std::string(s.begin(), s.end());
}

} // namespace

TEST(SettingsTools, JapaneseValuesRoundTripAndTheFileIsWhatTheDialogSaves)
{
    const TempFolder home(false);
    const std::u8string closed = u8"ただいま休止中です。ｶﾀｶﾅも①も";
    const std::u8string dir = u8"/公開/ﾍﾟｰｼﾞ";
    for (const auto& [name, value] : {std::pair{"closed.string", closed}, std::pair{"FTP.Dir", dir}}) {
        const auto r = Settings(home.path(), {QStringLiteral("set"), QString::fromLatin1(name),
                                              QString::fromUtf8(Utf8(value).c_str())});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    EXPECT_EQ(Settings(home.path(), {QStringLiteral("get"), QStringLiteral("Closed.String")}).out,
              Utf8(closed) + "\n");
    EXPECT_EQ(Settings(home.path(), {QStringLiteral("get"), QStringLiteral("ftp.dir")}).out,
              Utf8(dir) + "\n");

    const std::string expected = DialogSaves({}, [&](settings::TConfig& c) {
        c.ClosedString = text::Sjis(closed);
        c.FtpDir = text::Sjis(dir);
    });
    EXPECT_EQ(ReadBytes(Ini(home)), expected);
    EXPECT_NE(expected.find(text::Sjis(dir) + "\r\n"), std::string::npos) << "Shift_JIS, CR LF";

    // unset takes the key out: it reads as its default again, and nothing else moves.
    ASSERT_EQ(Settings(home.path(), {QStringLiteral("unset"), QStringLiteral("FTP.Dir")}).exitCode, 0);
    EXPECT_EQ(Settings(home.path(), {QStringLiteral("get"), QStringLiteral("FTP.Dir")}).out, "\n");
    platform::ProfileFile file(Ini(home));
    file.Load();
    EXPECT_FALSE(file.HasValue("FTP", "Dir"));
    EXPECT_TRUE(file.HasValue("Closed", "String"));
}

TEST(SettingsTools, NamesAndValuesThatCannotBeStoredAreRefused)
{
    const TempFolder home(false);
    const TempFolder pages(false);
    WriteBytes(Ini(home), ValidSettings(pages));
    const std::string before = ReadBytes(Ini(home));

    const auto unknown = Settings(home.path(), {QStringLiteral("get"), QStringLiteral("FTP.Sever")});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("FTP.Server"), std::string::npos) << unknown.err;

    const auto emoji = Settings(home.path(), {QStringLiteral("set"), QStringLiteral("FTP.Dir"),
                                              QString::fromUtf8("/site/\xF0\x9F\x98\x80")});
    EXPECT_EQ(emoji.exitCode, 2);
    EXPECT_NE(emoji.err.find("Shift_JIS"), std::string::npos) << emoji.err;

    const auto onCommandLine =
        Settings(home.path(), {QStringLiteral("set"), QStringLiteral("FTP.Pass"), QStringLiteral("secret")});
    EXPECT_EQ(onCommandLine.exitCode, 2);
    const auto version =
        Settings(home.path(), {QStringLiteral("set"), QStringLiteral("About.Version"), QStringLiteral("9")});
    EXPECT_EQ(version.exitCode, 2);
    EXPECT_EQ(ReadBytes(Ini(home)), before);
}

TEST(SettingsTools, EveryKindOfInvalidValueIsRefusedWithTheDialogsMessage)
{
    const TempFolder home(false);
    const TempFolder pages(false);
    WriteBytes(Ini(home), ValidSettings(pages));
    const std::string before = ReadBytes(Ini(home));
    const struct
    {
        const char* name;
        const char* value;
        const char* problemKey;
        std::u8string_view message;
    } cases[] = {
        {"Config.Interval", "abc", "Config.Interval", u8"「ｽﾃｰﾀｽﾁｪｯｸ間隔」には整数を入力してください。"},
        {"Config.Interval", "0", "Config.Interval",
         u8"「ｽﾃｰﾀｽﾁｪｯｸ間隔」には1～999の整数を入力してください。"},
        {"Config.TimeOut", "1000", "Config.TimeOut",
         u8"「ｱｯﾌﾟﾛｰﾄﾞ処理ﾀｲﾑｱｳﾄ」には1～999の整数を入力してください。"},
        {"FTP.Port", "70000", "FTP.Port", u8"「FTPﾎﾟｰﾄ」には1～65535の整数を入力してください。"},
        {"SMTP.Port", "0", "SMTP.Port", u8"「SMTPﾎﾟｰﾄ」には1～65535の整数を入力してください。"},
        {"FTP.Upload", "0", "FTP.Upload", u8"FTPｱｯﾌﾟﾛｰﾄﾞかﾒｰﾙ通知どちらかを行う必要があります。"},
        {"FTP.Server", "", "FTP.Server", u8"FTPｻｰﾊﾞｰが未設定です。"},
        {"FTP.Server", "ftp example", "FTP.Server", u8"FTPｻｰﾊﾞｰの名前に空白や制御文字は使えません。"},
        {"Config.ReplaceFolder", "/no/such/folder", "Config.ReplaceFolder",
         u8"ｱｯﾌﾟﾛｰﾄﾞするHTMLﾌｧｲﾙのﾌｫﾙﾀﾞが見つかりません。"},
        {"Config.ReplaceLink", "", "Config.ReplaceLink", u8"差し換えるﾘﾝｸが未設定です。"},
        {"Config.MailNotice", "1", "SMTP.Server", u8"SMTPｻｰﾊﾞｰが未設定です。"},
        {"GlobalIP.Source2", "2", "GlobalIP.EchoURL", u8"確認用URLが未設定です。"},
        {"DDNS.Use", "1", "DDNS.Hosts", u8"DDNSのホスト名が未設定です。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        const auto r = Settings(
            home.path(), {QStringLiteral("set"), QString::fromLatin1(c.name), QString::fromLatin1(c.value)});
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_NE(r.err.find(std::string(c.problemKey) + ": " + Utf8(c.message)), std::string::npos) << r.err;
        EXPECT_EQ(ReadBytes(Ini(home)), before);
    }
    // The IPv6 suffix is checked once publishing over IPv6 is on.
    ASSERT_EQ(Settings(home.path(), {QStringLiteral("set"), QStringLiteral("IPv6.Use"), QStringLiteral("1")})
                  .exitCode,
              0);
    const auto suffix = Settings(
        home.path(), {QStringLiteral("set"), QStringLiteral("IPv6.Suffix"), QStringLiteral("2001:db8::1")});
    EXPECT_EQ(suffix.exitCode, 2);
    EXPECT_NE(suffix.err.find(Utf8(u8"IPv6.Suffix: ｻﾌｨｯｸｽがｲﾝﾀｰﾌｪｲｽIDになっていません。")), std::string::npos)
        << suffix.err;
}

TEST(SettingsTools, APasswordFromStandardInputIsStoredScrambledAndUsedByTheFtpTest)
{
    const TempFolder home(false);
    const TempFolder pages(false);
    const TempFolder root(false);
    testsupport::ServerProcess server;
    ASSERT_TRUE(server.startPython(QStringLiteral("ftpserver.py"),
                                   {QStringLiteral("--root"), root.path(), QStringLiteral("--user"),
                                    QStringLiteral("quill"), QStringLiteral("--password"),
                                    QStringLiteral("p=ss word!")}))
        << server.error().toStdString();
    WriteBytes(Ini(home), ValidSettings(pages));
    for (const auto& [name, value] :
         {std::pair{"FTP.Server", QStringLiteral("127.0.0.1")},
          std::pair{"FTP.Port", QString::number(server.port())},
          std::pair{"FTP.User", QStringLiteral("quill")}, std::pair{"FTP.PASV", QStringLiteral("1")}})
        ASSERT_EQ(Settings(home.path(), {QStringLiteral("set"), QString::fromLatin1(name), value}).exitCode,
                  0);

    // Before the password is there, the test cannot log on.
    EXPECT_EQ(tooltest::Quillmap(home.path(), {QStringLiteral("test-ftp")}).exitCode, 1);
    WriteBytes(home.file(QStringLiteral("pass.txt")), "p=ss word!\n");
    const auto set =
        Settings(home.path(), {QStringLiteral("set"), QStringLiteral("--stdin"), QStringLiteral("FTP.Pass")},
                 {home.file(QStringLiteral("pass.txt")), {}});
    ASSERT_EQ(set.exitCode, 0) << set.err;

    EXPECT_EQ(ReadBytes(Ini(home)).find("p=ss"), std::string::npos) << "stored scrambled";
    EXPECT_EQ(Settings(home.path(), {QStringLiteral("get"), QStringLiteral("FTP.Pass")}).out, "********\n");
    EXPECT_EQ(Settings(home.path(), {QStringLiteral("get"), QStringLiteral("--show-passwords"),
                                     QStringLiteral("FTP.Pass")})
                  .out,
              "p=ss word!\n");
    const auto test = tooltest::Quillmap(home.path(), {QStringLiteral("test-ftp")});
    EXPECT_EQ(test.exitCode, 0) << test.out << test.err;

    // A password is never read from a pipe without --stdin (no terminal to prompt on).
    EXPECT_EQ(Settings(home.path(), {QStringLiteral("set"), QStringLiteral("FTP.Pass")}).exitCode, 2);
}

TEST(SettingsTools, CheckNamesEveryProblemOfEveryFileVersion)
{
    const TempFolder pages(false);
    for (const char* version : {"v1.0", "v1.1", "v1.2", "v1.3"}) {
        SCOPED_TRACE(version);
        const TempFolder home(false);
        WriteBytes(
            Ini(home),
            ReadBytes(
                QStringLiteral(QUILLMAP_TESTS_DIR "/fixtures/settings/%1.ini").arg(QLatin1String(version))));
        const auto r = Settings(home.path(), {QStringLiteral("check")});
        // The fixtures were written on another machine: their page folder is not here.
        EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
        EXPECT_NE(r.out.find(Utf8(u8"Config.ReplaceFolder: ｱｯﾌﾟﾛｰﾄﾞするHTMLﾌｧｲﾙのﾌｫﾙﾀﾞが見つかりません。\n")),
                  std::string::npos)
            << r.out;
        // Pointed at a folder that exists, the settings pass.
        const auto fix = Settings(
            home.path(), {QStringLiteral("set"), QStringLiteral("Config.ReplaceFolder"), pages.path()});
        ASSERT_EQ(fix.exitCode, 0) << fix.err;
        const auto again = Settings(home.path(), {QStringLiteral("check")});
        EXPECT_EQ(again.exitCode, 0) << again.out;
        EXPECT_EQ(again.out, "");
    }

    // A number that is no number is named, although loading reads it as its default.
    const TempFolder home(false);
    WriteBytes(Ini(home), "[Config]\r\nInterval=abc\r\n[FTP]\r\nUpload=0\r\n");
    const auto r = Settings(home.path(), {QStringLiteral("check")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, Utf8(u8"FTP.Upload: FTPｱｯﾌﾟﾛｰﾄﾞかﾒｰﾙ通知どちらかを行う必要があります。\n"
                          u8"Config.Interval: 「ｽﾃｰﾀｽﾁｪｯｸ間隔」には整数を入力してください。\n"));
}
