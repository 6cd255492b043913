// The passwords in the desktop's keyring, against a real Secret Service (gnome-keyring-daemon) on a
// private session bus of the test's own (tests/servers/secretservice.sh): what the file holds, what
// the keyring holds, and what happens when the keyring cannot serve.
#include "TestPaths.h"
#include "platform/ProgramFolder.h"
#include "settings/ConfigUnit.h"
#include "settings/KeyringPasswords.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <memory>

namespace {

using settings::TConfig;

// The Secret Service of this test program; every test shares it (the process's session bus is
// chosen once, at its first use).
class SecretService
{
public:
    static SecretService& Get()
    {
        static SecretService service;
        return service;
    }

    const QString& SkipReason() const { return m_skip; }

    // Sends a command of the script and waits for its answer line.
    QString Command(const char* command)
    {
        m_process.write(QByteArray(command) + "\n");
        return ReadLine();
    }

private:
    SecretService()
    {
        m_process.setProgram(QStringLiteral("/bin/bash"));
        m_process.setArguments({QStringLiteral(QUILLMAP_TESTS_DIR "/servers/secretservice.sh")});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        const QString first = ReadLine();
        if (!first.startsWith(QLatin1String("BUS "))) {
            m_skip =
                first.isEmpty() ? QStringLiteral("the Secret Service script gave no answer") : first.mid(5);
            return;
        }
        qputenv("DBUS_SESSION_BUS_ADDRESS", first.mid(4).toLocal8Bit());
        // The desktop decides which keyring qtkeychain asks; here it is the Secret Service.
        for (const char* name : {"XDG_CURRENT_DESKTOP", "KDE_FULL_SESSION", "DESKTOP_SESSION"})
            qunsetenv(name);
    }

    ~SecretService()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
    }

    QString ReadLine()
    {
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(20000))
                return {};
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }

    QProcess m_process;
    QString m_skip;
};

class KeyringSettings : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!SecretService::Get().SkipReason().isEmpty())
            GTEST_SKIP() << "no Secret Service to test against: "
                         << SecretService::Get().SkipReason().toStdString();
    }

    // Settings of the program's folder as loaded (defaults), with every password set.
    static TConfig WithPasswords()
    {
        TConfig c;
        settings::LoadSettings(c, nullptr);
        c.StatusPass = "router-pass";
        c.FtpPass = text::Sjis(u8"ftpﾊﾟｽ");
        c.SmtpPass = "smtp-pass";
        c.PopPass = "pop=pass";
        c.DdnsPass = "ddns-pass";
        c.DdnsToken = "ddns-token";
        return c;
    }

    static TConfig Loaded()
    {
        TConfig c;
        settings::LoadSettings(c, nullptr);
        return c;
    }

    static void ExpectSamePasswords(const TConfig& a, const TConfig& b)
    {
        EXPECT_EQ(a.StatusPass, b.StatusPass);
        EXPECT_EQ(a.FtpPass, b.FtpPass);
        EXPECT_EQ(a.SmtpPass, b.SmtpPass);
        EXPECT_EQ(a.PopPass, b.PopPass);
        EXPECT_EQ(a.DdnsPass, b.DdnsPass);
        EXPECT_EQ(a.DdnsToken, b.DdnsToken);
    }
};

// Every "Pass=" and "Token=" line of the file, which must all be empty with the keyring.
std::string PasswordLines(const testsupport::TempFolder& folder)
{
    std::string lines;
    const std::string file = testsupport::ReadBytes(folder.file(QStringLiteral("Quillmap.ini")));
    size_t start = 0;
    while (start < file.size()) {
        const size_t end = std::min(file.find("\r\n", start), file.size());
        const std::string line = file.substr(start, end - start);
        if (line.starts_with("Pass=") || line.starts_with("Token="))
            lines += line + "|";
        start = end + 2;
    }
    return lines;
}

TEST_F(KeyringSettings, PasswordsLiveInTheKeyringAndTheFileHoldsNone)
{
    testsupport::TempFolder first;
    TConfig saved = WithPasswords();
    saved.Keyring = 1;
    settings::SaveSettings(saved, settings::SaveScope::All);
    EXPECT_EQ(PasswordLines(first), "Pass=|Pass=|Pass=|Pass=|Pass=|Token=|");
    EXPECT_NE(testsupport::ReadBytes(first.file(QStringLiteral("Quillmap.ini"))).find("Keyring=1"),
              std::string::npos);

    const TConfig loaded = Loaded();
    EXPECT_EQ(loaded.Keyring, 1);
    EXPECT_EQ(loaded.KeyringUnread, 0u);
    ExpectSamePasswords(loaded, saved);

    // Another program folder has passwords of its own, and the first one's stay.
    {
        testsupport::TempFolder second;
        TConfig other = WithPasswords();
        other.FtpPass = "second-ftp";
        other.Keyring = 1;
        settings::SaveSettings(other, settings::SaveScope::All);
        EXPECT_EQ(Loaded().FtpPass, "second-ftp");
    }
    platform::InitProgramFolder(first.path());
    ExpectSamePasswords(Loaded(), saved);
}

TEST_F(KeyringSettings, TurnedOffThePasswordsGoBackIntoTheFileAndLeaveTheKeyring)
{
    testsupport::TempFolder folder;
    TConfig c = WithPasswords();
    // Never used: the file is what older releases wrote, without the key.
    settings::SaveSettings(c, settings::SaveScope::All);
    EXPECT_EQ(testsupport::ReadBytes(folder.file(QStringLiteral("Quillmap.ini"))).find("Keyring"),
              std::string::npos);

    c.Keyring = 1;
    settings::SaveSettings(c, settings::SaveScope::All);
    c.Keyring = 0;
    settings::SaveSettings(c, settings::SaveScope::All);
    // Loaded without the keyring: these come from the file.
    ExpectSamePasswords(Loaded(), c);

    // The keyring's entry went with it: turned on again by hand, the file's empty passwords stand
    // and the keyring says it holds none.
    std::string ini = testsupport::ReadBytes(folder.file(QStringLiteral("Quillmap.ini")));
    ini.replace(ini.find("Keyring=0"), 9, "Keyring=1");
    for (size_t at = ini.find("Pass="); at != std::string::npos; at = ini.find("Pass=", at + 5))
        ini.erase(at + 5, ini.find("\r\n", at) - at - 5);
    testsupport::WriteBytes(folder.file(QStringLiteral("Quillmap.ini")), ini);
    const TConfig reloaded = Loaded();
    EXPECT_EQ(reloaded.FtpPass, "");
    EXPECT_NE(reloaded.KeyringUnread, 0u);
}

// Runs last: it locks the keyring for good and then takes the service away.
TEST_F(KeyringSettings, AKeyringThatCannotServeIsSaidAndLosesNothing)
{
    testsupport::TempFolder folder;
    TConfig c = WithPasswords();
    c.Keyring = 1;
    c.MailNotice = 1;
    c.SmtpLogon = 1;
    c.PopLogon = 0;
    settings::SaveSettings(c, settings::SaveScope::All);
    const std::string before = testsupport::ReadBytes(folder.file(QStringLiteral("Quillmap.ini")));

    for (const char* command : {"lock", "stop"}) {
        SCOPED_TRACE(command);
        ASSERT_TRUE(
            SecretService::Get().Command(command).startsWith(command[0] == 'l' ? "LOCKED" : "STOPPED"));
        TConfig loaded = Loaded();
        EXPECT_NE(loaded.KeyringUnread, 0u);
        EXPECT_EQ(loaded.FtpPass, "");
        // Named: the passwords the settings use; not named: POP's, which is off.
        const std::string missing = settings::MissingKeyringPasswords(loaded);
        EXPECT_NE(missing.find(text::Sjis(u8"FTPのﾊﾟｽﾜｰﾄﾞ")), std::string::npos);
        EXPECT_NE(missing.find(text::Sjis(u8"SMTP認証のﾊﾟｽﾜｰﾄﾞ")), std::string::npos);
        EXPECT_EQ(missing.find(text::Sjis(u8"POPのﾊﾟｽﾜｰﾄﾞ")), std::string::npos);

        // Saving refuses before the file changes; turned off, the unread passwords' entry is kept.
        loaded.SmtpPass = "typed-again";
        EXPECT_THROW(settings::SaveSettings(loaded, settings::SaveScope::All), settings::KeyringWriteError);
        EXPECT_EQ(testsupport::ReadBytes(folder.file(QStringLiteral("Quillmap.ini"))), before);
    }
}

} // namespace
