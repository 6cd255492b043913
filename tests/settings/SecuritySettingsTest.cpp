// The settings of encrypted connections: [FTP], [SMTP] and [POP] Security, and the certificates the
// user chose to trust in [Security]. A file that never used them is written as before.
#include "settings/ConfigUnit.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

using namespace settings;
using testsupport::ReadBytes;
using testsupport::TempFolder;
using testsupport::WriteBytes;

namespace {

QString IniPath(const TempFolder& folder)
{
    return folder.file(QStringLiteral("Quillmap.ini"));
}

constexpr const char* kFingerprint =
    "AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:"
    "23:45:67:89";

} // namespace

TEST(SecuritySettings, RoundTripAndPlaceInTheFile)
{
    TempFolder folder;
    TConfig c;
    LoadSettings(c, nullptr);
    EXPECT_EQ(c.FtpSecurity, 0);
    EXPECT_EQ(c.SmtpSecurity, 0);
    EXPECT_EQ(c.PopSecurity, 0);
    EXPECT_TRUE(c.TrustedCertificates.empty());

    c.FtpSecurity = 1;
    c.SmtpSecurity = 2;
    c.PopSecurity = 1;
    c.TrustedCertificates[CertificateKey("Mail.Example.JP", 465)] = kFingerprint;
    SaveSettings(c, SaveScope::All);
    const std::string bytes = ReadBytes(IniPath(folder));
    // Each key at the end of its own section, after everything older releases write there.
    EXPECT_NE(bytes.find("Port=21\r\nSecurity=1\r\n"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("Port=25\r\nSecurity=2\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("Port=110\r\nSecurity=1\r\n"), std::string::npos);
    EXPECT_TRUE(bytes.ends_with(std::string("[Security]\r\nmail.example.jp:465=") + kFingerprint + "\r\n"));

    TConfig back;
    LoadSettings(back, nullptr);
    EXPECT_EQ(back.FtpSecurity, 1);
    EXPECT_EQ(back.SmtpSecurity, 2);
    EXPECT_EQ(back.PopSecurity, 1);
    EXPECT_EQ(back.TrustedCertificates, c.TrustedCertificates);

    // Once the file holds a key, going back to the default is written too.
    back.FtpSecurity = 0;
    SaveSettings(back, SaveScope::All);
    TConfig again;
    LoadSettings(again, nullptr);
    EXPECT_EQ(again.FtpSecurity, 0);
}

TEST(SecuritySettings, TrustIsMatchedByHostPortAndFingerprint)
{
    TempFolder folder;
    WriteBytes(IniPath(folder), std::string("[Security]\r\nFTP.Example.COM:990=") + kFingerprint +
                                    "\r\nempty.example:21=\r\n");
    TConfig c;
    LoadSettings(c, nullptr);
    EXPECT_EQ(c.TrustedCertificates.size(), 1u) << "an empty fingerprint trusts nothing";
    EXPECT_TRUE(IsCertificateTrusted(c, "ftp.example.com", 990, kFingerprint));
    EXPECT_TRUE(IsCertificateTrusted(c, "FTP.EXAMPLE.COM", 990, kFingerprint));
    EXPECT_FALSE(IsCertificateTrusted(c, "ftp.example.com", 21, kFingerprint)) << "another port";
    EXPECT_FALSE(IsCertificateTrusted(c, "www.example.com", 990, kFingerprint)) << "another host";
    EXPECT_FALSE(IsCertificateTrusted(c, "ftp.example.com", 990, "00:11")) << "a changed certificate";
    EXPECT_FALSE(IsCertificateTrusted(c, "empty.example", 21, ""));
}

TEST(SecuritySettings, TrustHasAScopeOfItsOwnAndSurvivesAssign)
{
    TempFolder folder;
    WriteBytes(IniPath(folder), "[Config]\r\nInterval=7\r\n");
    TConfig c;
    LoadSettings(c, nullptr);
    c.Interval = 9;
    c.FtpSecurity = 2;
    c.TrustedCertificates[CertificateKey("127.0.0.1", 2121)] = kFingerprint;
    SaveSettings(c, SaveScope::Security);
    EXPECT_EQ(ReadBytes(IniPath(folder)),
              std::string("[Config]\r\nInterval=7\r\n\r\n[Security]\r\n127.0.0.1:2121=") + kFingerprint +
                  "\r\n");
    SaveSettings(c, SaveScope::Shutdown);
    EXPECT_EQ(ReadBytes(IniPath(folder)).find("Security=2"), std::string::npos);

    // The settings dialog's tests back up and restore the settings around a test: a certificate
    // trusted during the test must stay trusted afterwards.
    TConfig backup;
    AssignSettings(backup, c);
    c.TrustedCertificates[CertificateKey("mail.example.jp", 995)] = kFingerprint;
    AssignSettings(c, backup);
    EXPECT_EQ(c.TrustedCertificates.size(), 2u);
    EXPECT_EQ(c.FtpSecurity, 2);
}
