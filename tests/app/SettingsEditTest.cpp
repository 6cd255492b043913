// `quillmap settings edit` with an editor that is a small script, as a person's editor would be: a
// valid change is saved in the file's own form, an invalid one is refused with the file unchanged,
// and an editor that fails loses nothing.
#include "ToolRun.h"
#include "platform/Codepage.h"
#include "platform/ProgramFolder.h"
#include "settings/ConfigUnit.h"

#include <QFile>
#include <gtest/gtest.h>

using testsupport::ReadBytes;
using testsupport::TempFolder;
using testsupport::WriteBytes;
using tooltest::Ini;

namespace {

class SettingsEdit : public testing::Test
{
protected:
    void SetUp() override
    {
        // Valid settings with a password, written as the dialog writes them.
        const TempFolder dialog;
        settings::TConfig c;
        settings::LoadSettings(c, nullptr);
        c.FtpServer = "ftp.example.test";
        c.FtpUser = "quill";
        c.FtpPass = "secret";
        c.ReplaceFolder = platform::PathToCp932(m_pages.path());
        settings::SaveSettings(c, settings::SaveScope::All);
        m_before = ReadBytes(dialog.file(QStringLiteral("Quillmap.ini")));
        WriteBytes(Ini(m_home), m_before);
    }

    // Runs `settings edit` with the shell script body as the editor ($1 is the file to edit).
    testsupport::ProgramResult Edit(const std::string& script)
    {
        const QString editor = m_home.file(QStringLiteral("editor.sh"));
        WriteBytes(editor, "#!/bin/sh\n" + script + "\n");
        QFile::setPermissions(editor, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return tooltest::Settings(
            m_home.path(), {QStringLiteral("edit")},
            {{}, {{QStringLiteral("VISUAL"), QString()}, {QStringLiteral("EDITOR"), editor}}});
    }

    std::string Get(const char* name, bool show = false)
    {
        QStringList args{QStringLiteral("get")};
        if (show)
            args << QStringLiteral("--show-passwords");
        return tooltest::Settings(m_home.path(), args << QString::fromLatin1(name)).out;
    }

    TempFolder m_home{false};
    TempFolder m_pages{false};
    std::string m_before;
};

} // namespace

TEST_F(SettingsEdit, AValidChangeIsSavedAndHiddenPasswordsAreKept)
{
    // The text is UTF-8 with LF line ends, the password hidden; a Japanese value goes in as UTF-8.
    const auto r = Edit("grep -q '^Pass = \\*\\*\\*\\*\\*\\*\\*\\*$' \"$1\" || exit 9\n"
                        "! grep -q \"$(printf '\\r')\" \"$1\" || exit 8\n"
                        "sed -i -e 's/^Interval = .*/Interval = 7/' -e 's|^Dir = .*|Dir = /公開|' \"$1\"");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Get("Config.Interval"), "7\n");
    EXPECT_EQ(Get("FTP.Dir"), "/\xE5\x85\xAC\xE9\x96\x8B\n");
    EXPECT_EQ(Get("FTP.Pass", true), "secret\n");
    const std::string after = ReadBytes(Ini(m_home));
    EXPECT_NE(after.find("Interval=7\r\n"), std::string::npos);
    EXPECT_NE(after.find("Dir=/\x8C\xF6\x8A\x4A\r\n"), std::string::npos) << "Shift_JIS in the file";
}

TEST_F(SettingsEdit, AnInvalidChangeIsRefusedAndTheFileStaysAsItWas)
{
    const auto r =
        Edit("sed -i -e 's/^Interval = .*/Interval = 0/' -e 's/^Server = ftp.example.test/Server =/' \"$1\"");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Config.Interval: \xE3\x80\x8C"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("FTP.Server: FTP"), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(Ini(m_home)), m_before);
    // The user's text is kept for another try.
    EXPECT_NE(r.err.find("your text is kept in"), std::string::npos) << r.err;

    const auto unknown = Edit("printf '[FTP]\\nServr = x\\n' >> \"$1\"");
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("no setting is called FTP.Servr"), std::string::npos) << unknown.err;
    EXPECT_EQ(ReadBytes(Ini(m_home)), m_before);
}

TEST_F(SettingsEdit, AnEditorThatFailsLosesNothing)
{
    const auto failed = Edit("sed -i 's/^Interval = .*/Interval = 9/' \"$1\"; exit 3");
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.err.find("failed with status 3"), std::string::npos) << failed.err;
    EXPECT_EQ(ReadBytes(Ini(m_home)), m_before);
    const size_t at = failed.err.find("kept in ");
    ASSERT_NE(at, std::string::npos) << failed.err;
    const std::string kept = failed.err.substr(at + 8, failed.err.find_first_of(" \n", at + 8) - at - 8);
    EXPECT_NE(ReadBytes(QString::fromStdString(kept)).find("Interval = 9\n"), std::string::npos);
    QFile::remove(QString::fromStdString(kept));

    // Quitting without a change saves nothing and is no failure.
    const auto quit = Edit("exit 0");
    EXPECT_EQ(quit.exitCode, 0) << quit.err;
    EXPECT_EQ(ReadBytes(Ini(m_home)), m_before);
}
