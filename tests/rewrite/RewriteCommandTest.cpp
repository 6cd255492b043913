// `quillmap rewrite`: the preview of what the upload run publishes, with the settings of the program's
// folder.
#include "TestPaths.h"
#include "settings/ConfigUnit.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

using testsupport::ReadBytes;
using testsupport::TempFolder;
using testsupport::WriteBytes;

namespace {

using Result = testsupport::ProgramResult;

Result RunRewrite(const TempFolder& home, const QStringList& args)
{
    return testsupport::RunProgram(
        QStringList{QStringLiteral("--home"), home.path(), QStringLiteral("rewrite")} + args, 30000);
}

void SaveTestSettings(bool robots, bool fast)
{
    settings::TConfig config;
    config.ReplaceLink = "192.168.0.2";
    config.ReplaceOnly = 1;
    config.RobotUse = robots ? 1 : 0;
    config.KeywordsJP = std::make_unique<text::StringList>(text::StringList{text::Sjis(u8"日本語")});
    config.KeywordsEN = std::make_unique<text::StringList>(text::StringList{"home"});
    config.ClosedFast = fast ? 1 : 0;
    config.ClosedString = text::Sjis(u8"<p>休止中</p>");
    settings::SaveSettings(config, settings::SaveScope::All);
}

const std::string kPage =
    "<head></head>\n<a href=\"http://192.168.0.2/\">home</a> <!-- Quillmap Version -->\n"
    "<!-- Quillmap Closed --> <!-- Quillmap TimeStamp -->";

} // namespace

TEST(RewriteCommand, PrintsTheCopyTheUploadWouldSend)
{
    TempFolder home;
    SaveTestSettings(false, false);
    const QString page = home.file(QStringLiteral("index.htm"));
    WriteBytes(page, kPage);
    const Result r = RunRewrite(home, {page, QStringLiteral("--address"), QStringLiteral("203.0.113.5")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const QString copy = QString::fromStdString(r.out);
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral("^<head></head>\r\n<a href=\"http://203.0.113.5/\">home</a> 1.43\r\n"
                                   "<!-- Quillmap Closed --> \\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d\r\n$"))
                    .match(copy)
                    .hasMatch())
        << r.out;
    EXPECT_EQ(ReadBytes(page), kPage);
    EXPECT_FALSE(QFile::exists(home.file(QStringLiteral("Upload.htm"))));
}

TEST(RewriteCommand, ClosingModeWithRobotsAndHostName)
{
    TempFolder home;
    SaveTestSettings(true, true);
    const QString page = home.file(QStringLiteral("index.htm"));
    WriteBytes(page, kPage);
    Result r = RunRewrite(home, {page, QStringLiteral("--address=203.0.113.5"), QStringLiteral("--closing")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(
        r.out.find("<meta name=\"keywords\" lang=\"ja\" content=\"" + text::Sjis(u8"日本語") + "\">\r\n"),
        std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\r\nhome 1.43\r\n" + text::Sjis(u8"<p>休止中</p>")), std::string::npos) << r.out;
}

TEST(RewriteCommand, PageThatWouldNotBeUploaded)
{
    TempFolder home;
    SaveTestSettings(false, false);
    const QString page = home.file(QStringLiteral("plain.htm"));
    WriteBytes(page, "nothing to replace");
    Result r = RunRewrite(home, {page, QStringLiteral("--address"), QStringLiteral("203.0.113.5")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.empty());
    // The first full upload sends every page.
    r = RunRewrite(
        home, {page, QStringLiteral("--address"), QStringLiteral("203.0.113.5"), QStringLiteral("--all")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "nothing to replace\r\n");
}

TEST(RewriteCommand, WrongCommandLines)
{
    TempFolder home;
    const QString page = home.file(QStringLiteral("index.htm"));
    WriteBytes(page, kPage);
    EXPECT_EQ(RunRewrite(home, {page}).exitCode, 2);
    EXPECT_EQ(RunRewrite(home, {page, QStringLiteral("--address")}).exitCode, 2);
    EXPECT_EQ(
        RunRewrite(home, {page, QStringLiteral("--address"), QStringLiteral("a"), QStringLiteral("--bogus")})
            .exitCode,
        2);
    EXPECT_EQ(RunRewrite(home, {home.file(QStringLiteral("missing.htm")), QStringLiteral("--address"),
                                QStringLiteral("203.0.113.5")})
                  .exitCode,
              1);
}
