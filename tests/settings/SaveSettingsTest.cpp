// Saving: the keys of each scope and their order, what is kept, the stored forms, the round trip of
// every field, copying settings, and what happens when the file cannot be written.
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "platform/ScriptedUserInterface.h"
#include "settings/ConfigUnit.h"
#include "support/TempFolder.h"

#include "SettingsTestUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace settings;
using settingstest::S;
using testsupport::ReadBytes;
using testsupport::TempFolder;
using testsupport::WriteBytes;

namespace {

QString IniPath(const TempFolder& folder)
{
    return folder.file(QStringLiteral("Quillmap.ini"));
}

// "Section/Key" of every key line of a file, in file order.
std::vector<std::string> KeysInFile(const std::string& bytes)
{
    std::vector<std::string> keys;
    std::string section;
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t end = bytes.find("\r\n", pos);
        const std::string line = bytes.substr(pos, end - pos);
        pos = end == std::string::npos ? bytes.size() : end + 2;
        if (line.starts_with("["))
            section = line.substr(1, line.size() - 2);
        else if (line.find('=') != std::string::npos)
            keys.push_back(section + "/" + line.substr(0, line.find('=')));
    }
    return keys;
}

std::vector<std::string> Split(const std::string& spaced)
{
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < spaced.size()) {
        size_t end = spaced.find(' ', pos);
        if (end == std::string::npos)
            end = spaced.size();
        out.push_back(spaced.substr(pos, end - pos));
        pos = end + 1;
    }
    return out;
}

const char* const kShutdown = "Config/ShowWindow Config/AutoRun Config/RecLog Config/PrevIP";
const char* const kRobots =
    "ForRobot/No ForRobot/KeyJP ForRobot/DescriptionJP ForRobot/KeyEN ForRobot/DescriptionEN";
const char* const kFileTypes = "Config/ReplaceExt Config/ReplaceOnly";
const char* const kClosing = "Closed/Use Closed/Mode Closed/Fast Closed/String Closed/File";

void ExpectSameFields(const TConfig& a, const TConfig& b, bool withVersionAndPrevIP,
                      const std::string& context)
{
    const auto same = [&context](const auto& x, const auto& y, const char* name) {
        EXPECT_EQ(x, y) << name << " " << context;
    };
    if (withVersionAndPrevIP) {
        same(a.Version, b.Version, "Version");
        same(a.PrevIP, b.PrevIP, "PrevIP");
        same(a.PrevIPv6, b.PrevIPv6, "PrevIPv6");
    }
    same(a.LeavePlural, b.LeavePlural, "LeavePlural");
    same(a.ShowWindow, b.ShowWindow, "ShowWindow");
    same(a.AutoRun, b.AutoRun, "AutoRun");
    same(a.RecLog, b.RecLog, "RecLog");
    same(a.Interval, b.Interval, "Interval");
    same(a.TimeOut, b.TimeOut, "TimeOut");
    same(a.GatewayAuto, b.GatewayAuto, "GatewayAuto");
    same(a.GatewayIP, b.GatewayIP, "GatewayIP");
    same(a.StatusURL, b.StatusURL, "StatusURL");
    same(a.StatusPost, b.StatusPost, "StatusPost");
    same(a.StatusLogon, b.StatusLogon, "StatusLogon");
    same(a.StatusUser, b.StatusUser, "StatusUser");
    same(a.StatusPass, b.StatusPass, "StatusPass");
    same(a.GlobalIPAuto, b.GlobalIPAuto, "GlobalIPAuto");
    same(a.GlobalIPKey, b.GlobalIPKey, "GlobalIPKey");
    same(a.NoScript, b.NoScript, "NoScript");
    same(a.FtpUpload, b.FtpUpload, "FtpUpload");
    same(a.FtpServer, b.FtpServer, "FtpServer");
    same(a.FtpUser, b.FtpUser, "FtpUser");
    same(a.FtpPass, b.FtpPass, "FtpPass");
    same(a.FtpDir, b.FtpDir, "FtpDir");
    same(a.FtpPasv, b.FtpPasv, "FtpPasv");
    same(a.FtpPort, b.FtpPort, "FtpPort");
    same(a.MailNotice, b.MailNotice, "MailNotice");
    same(a.MailAddress, b.MailAddress, "MailAddress");
    same(a.MailAddressFrom, b.MailAddressFrom, "MailAddressFrom");
    same(a.MailHanKana, b.MailHanKana, "MailHanKana");
    same(a.SmtpServer, b.SmtpServer, "SmtpServer");
    same(a.SmtpUser, b.SmtpUser, "SmtpUser");
    same(a.SmtpLogon, b.SmtpLogon, "SmtpLogon");
    same(a.SmtpPass, b.SmtpPass, "SmtpPass");
    same(a.SmtpPort, b.SmtpPort, "SmtpPort");
    same(a.PopLogon, b.PopLogon, "PopLogon");
    same(a.PopServer, b.PopServer, "PopServer");
    same(a.PopUser, b.PopUser, "PopUser");
    same(a.PopPass, b.PopPass, "PopPass");
    same(a.PopPort, b.PopPort, "PopPort");
    same(a.NoticeItem, b.NoticeItem, "NoticeItem");
    same(a.ReplaceFolder, b.ReplaceFolder, "ReplaceFolder");
    same(a.ReplaceAllFolder, b.ReplaceAllFolder, "ReplaceAllFolder");
    same(a.ReplaceLink, b.ReplaceLink, "ReplaceLink");
    same(a.ReplaceExt, b.ReplaceExt, "ReplaceExt");
    same(a.ReplaceOnly, b.ReplaceOnly, "ReplaceOnly");
    same(a.LogRowMax, b.LogRowMax, "LogRowMax");
    same(a.RobotUse, b.RobotUse, "RobotUse");
    same(a.RobotNo, b.RobotNo, "RobotNo");
    ASSERT_TRUE(a.KeywordsJP && b.KeywordsJP && a.KeywordsEN && b.KeywordsEN) << context;
    same(*a.KeywordsJP, *b.KeywordsJP, "KeywordsJP");
    same(a.DescriptionJP, b.DescriptionJP, "DescriptionJP");
    same(*a.KeywordsEN, *b.KeywordsEN, "KeywordsEN");
    same(a.DescriptionEN, b.DescriptionEN, "DescriptionEN");
    same(a.ClosedUse, b.ClosedUse, "ClosedUse");
    same(a.ClosedMode, b.ClosedMode, "ClosedMode");
    same(a.ClosedFast, b.ClosedFast, "ClosedFast");
    same(a.ClosedString, b.ClosedString, "ClosedString");
    same(a.ClosedFile, b.ClosedFile, "ClosedFile");
    same(a.IPtoURL, b.IPtoURL, "IPtoURL");
    same(a.Source2, b.Source2, "Source2");
    same(a.EchoURL, b.EchoURL, "EchoURL");
    same(a.FtpCheckURL, b.FtpCheckURL, "FtpCheckURL");
    same(a.Ipv6Use, b.Ipv6Use, "Ipv6Use");
    same(a.Ipv6Interface, b.Ipv6Interface, "Ipv6Interface");
    same(a.Ipv6Suffix, b.Ipv6Suffix, "Ipv6Suffix");
    same(a.DdnsUse, b.DdnsUse, "DdnsUse");
    same(a.DdnsProvider, b.DdnsProvider, "DdnsProvider");
    same(a.DdnsHosts, b.DdnsHosts, "DdnsHosts");
    same(a.DdnsUser, b.DdnsUser, "DdnsUser");
    same(a.DdnsPass, b.DdnsPass, "DdnsPass");
    same(a.DdnsToken, b.DdnsToken, "DdnsToken");
    same(a.DdnsRecords, b.DdnsRecords, "DdnsRecords");
    same(a.DdnsServer, b.DdnsServer, "DdnsServer");
    same(a.DdnsZone, b.DdnsZone, "DdnsZone");
    same(a.DdnsKeyName, b.DdnsKeyName, "DdnsKeyName");
    same(a.DdnsKeyAlgorithm, b.DdnsKeyAlgorithm, "DdnsKeyAlgorithm");
    same(a.DdnsTestURL, b.DdnsTestURL, "DdnsTestURL");
    // What the updates learned goes with PrevIP: kept by a save, left alone by AssignSettings.
    if (withVersionAndPrevIP) {
        same(a.DdnsSentA, b.DdnsSentA, "DdnsSentA");
        same(a.DdnsSentAAAA, b.DdnsSentAAAA, "DdnsSentAAAA");
        same(a.DdnsUpdated, b.DdnsUpdated, "DdnsUpdated");
        same(a.DdnsStopped, b.DdnsStopped, "DdnsStopped");
        same(a.DdnsStopReason, b.DdnsStopReason, "DdnsStopReason");
        same(a.DdnsStateOf, b.DdnsStateOf, "DdnsStateOf");
        same(a.DdnsRetryAt, b.DdnsRetryAt, "DdnsRetryAt");
        same(a.DdnsFailures, b.DdnsFailures, "DdnsFailures");
        same(a.DdnsHostState, b.DdnsHostState, "DdnsHostState");
    }
}

// Random values within what the file can hold: texts of code page 932 characters without line breaks
// and of at most 2047 bytes, passwords of bytes from the current alphabet, Base64 values of at most
// 1533 bytes (any bytes), keywords without "," whose first item is not empty.
class RandomSettings
{
public:
    explicit RandomSettings(unsigned seed) : m_rng(seed) {}

    void Fill(TConfig& c)
    {
        for (const ConfigField& f : ConfigFields()) {
            if (const auto* n = std::get_if<IntegerMember>(&f.member))
                c.** n = static_cast<std::int32_t>(m_rng());
            else if (const auto* l = std::get_if<ListMember>(&f.member))
                c.** l = std::make_unique<text::StringList>(Keywords());
            else if (f.coding == FieldCoding::Password)
                c.*std::get<TextMember>(f.member) = Password();
            else if (f.coding == FieldCoding::Text)
                c.*std::get<TextMember>(f.member) = Text(Length(2047), false);
            else
                c.*std::get<TextMember>(f.member) = Bytes(Length(1533));
        }
        // The passwords stay in the file here; the keyring is tested against a real one (tests/keyring).
        c.Keyring = 0;
    }

private:
    // Mostly short, sometimes up to the limit.
    size_t Length(size_t limit)
    {
        const unsigned r = m_rng() % 100;
        if (r < 10)
            return 0;
        if (r < 90)
            return m_rng() % 40;
        if (r < 95)
            return limit - m_rng() % 4;
        return m_rng() % (limit + 1);
    }

    std::string Char(bool noComma)
    {
        for (;;) {
            const unsigned kind = m_rng() % 10;
            if (kind < 5) {
                // Printable ASCII and the blank, tab and quotes that reading trims or strips.
                const char c =
                    kind == 0 ? "\t \"'=[];"[m_rng() % 8] : static_cast<char>(0x20 + m_rng() % 0x5F);
                if (noComma && c == ',')
                    continue;
                return std::string(1, c);
            }
            if (kind < 7)
                return std::string(1, static_cast<char>(0xA1 + m_rng() % 0x3F)); // half-width katakana
            static const unsigned char leads[] = {0x81, 0x82, 0x83, 0x88, 0x8A, 0x93, 0x9F, 0xE0, 0xEA};
            const unsigned char lead = leads[m_rng() % std::size(leads)];
            unsigned char trail = static_cast<unsigned char>(0x40 + m_rng() % (0xFD - 0x40));
            if (trail == 0x7F)
                trail = 0x80;
            return std::string{static_cast<char>(lead), static_cast<char>(trail)};
        }
    }

    std::string Text(size_t maxBytes, bool noComma)
    {
        std::string s;
        for (;;) {
            const std::string c = Char(noComma);
            if (s.size() + c.size() > maxBytes)
                return s;
            s += c;
        }
    }

    std::string Password()
    {
        const size_t n = m_rng() % 10 == 0 ? m_rng() % 2048 : m_rng() % 24;
        std::string s;
        for (size_t i = 0; i < n; ++i) {
            unsigned b = 0x21 + m_rng() % (0xE0 - 0x21);
            if (b == '=')
                b = 0x3C;
            s += static_cast<char>(b);
        }
        return s;
    }

    std::string Bytes(size_t n)
    {
        std::string s;
        for (size_t i = 0; i < n; ++i)
            s += static_cast<char>(m_rng() % 8 == 0 ? "\r\n"[m_rng() % 2] : static_cast<char>(m_rng()));
        return s;
    }

    text::StringList Keywords()
    {
        text::StringList list;
        const size_t count = m_rng() % 6;
        size_t total = 0;
        for (size_t i = 0; i < count; ++i) {
            std::string item = Text(1 + m_rng() % 30, true);
            if (i == 0 && item.empty())
                item = "k";
            if (total + item.size() + 1 > 2047)
                break;
            total += item.size() + 1;
            list.push_back(item);
        }
        return list;
    }

    std::mt19937 m_rng;
};

} // namespace

TEST(SaveSettingsRoundTrip, ThousandRandomSettingsComeBack)
{
    TempFolder folder;
    RandomSettings random(4242);
    for (int i = 0; i < 1000; ++i) {
        TConfig saved;
        random.Fill(saved);
        QFile::remove(IniPath(folder));
        SaveSettings(saved, SaveScope::All);
        TConfig loaded;
        LoadSettings(loaded, nullptr);
        EXPECT_EQ(loaded.Version, "1.3");
        // The two values whose empty form means "use the default".
        if (saved.GlobalIPKey.empty())
            saved.GlobalIPKey = "ADSL IP";
        if (saved.ReplaceExt.empty())
            saved.ReplaceExt = "*.htm;*.html;*.shtm;*.shtml";
        ExpectSameFields(saved, loaded, false, "settings " + std::to_string(i));
        EXPECT_EQ(saved.PrevIP, loaded.PrevIP) << "settings " << i;
        if (testing::Test::HasFailure())
            break; // one broken case says enough
    }
}

TEST(SaveSettingsRoundTrip, SavingACurrentFileChangesNoByte)
{
    // The fixture was built by an independent script, in the order every release writes: scrambling,
    // keys, Base64 and joining must reproduce it exactly.
    TempFolder folder;
    const std::string fixture = ReadBytes(settingstest::FixturePath("v1.3.ini"));
    WriteBytes(IniPath(folder), fixture);
    TConfig c;
    LoadSettings(c, nullptr);
    SaveSettings(c, SaveScope::All);
    // The keys newer than the Windows releases hold their defaults, so they are not added.
    const std::string current = fixture;
    EXPECT_EQ(ReadBytes(IniPath(folder)), current);

    // Written from nothing, the same keys come in the same order (sections set off by blank lines).
    QFile::remove(IniPath(folder));
    SaveSettings(c, SaveScope::All);
    std::string fresh = ReadBytes(IniPath(folder));
    for (size_t at; (at = fresh.find("\r\n\r\n")) != std::string::npos;)
        fresh.erase(at, 2);
    EXPECT_EQ(fresh, current);
}

TEST(SaveSettingsRoundTrip, OlderFilesAreRewrittenInTheCurrentForm)
{
    for (const char* version : {"v1.0.ini", "v1.1.ini", "v1.2.ini"}) {
        TempFolder folder;
        WriteBytes(IniPath(folder), ReadBytes(settingstest::FixturePath(version)));
        TConfig before;
        LoadSettings(before, nullptr);
        SaveSettings(before, SaveScope::All);
        TConfig after;
        LoadSettings(after, nullptr);
        EXPECT_EQ(after.Version, "1.3");
        EXPECT_EQ(before.Version, std::string(version).substr(1, 3)) << "saving does not touch Version";
        ExpectSameFields(before, after, false, version);
    }
}

TEST(SaveSettingsScopes, EachScopeWritesItsKeysInOrder)
{
    const std::string all =
        std::string(kShutdown) +
        " About/Version Config/LeavePlural Config/Interval Config/TimeOut Gateway/Auto "
        "Gateway/IP Status/URL Status/POST Status/Logon Status/User Status/Pass "
        "Status/NoScript Status/Engine Config/Keyring GlobalIP/Auto GlobalIP/Key FTP/Upload FTP/Server FTP/User FTP/Pass "
        "FTP/Dir FTP/PASV FTP/Port Config/MailNotice Config/MailAddress "
        "Config/MailAddressFrom Config/MailHanKana SMTP/Server SMTP/User SMTP/Logon "
        "SMTP/Pass SMTP/Port POP/Logon POP/Server POP/User POP/Pass POP/Port "
        "Config/NoticeItem Config/ReplaceFolder Config/ReplaceAllFolder Config/ReplaceLink "
        "Config/LogRowMax ForRobot/Use Config/IPtoURL " +
        kRobots + " " + kFileTypes + " " + kClosing +
        " GlobalIP/Source2 GlobalIP/EchoURL FTP/CheckURL FTP/Parallel FTP/Security SMTP/Security POP/Security"
        " IPv6/PrevIPv6 IPv6/Use IPv6/Interface IPv6/Suffix"
        " DDNS/Use DDNS/Provider DDNS/Hosts DDNS/User DDNS/Pass DDNS/Token DDNS/Records DDNS/Server"
        " DDNS/Zone DDNS/KeyName DDNS/KeyAlgorithm DDNS/TestURL"
        " DDNS/SentA DDNS/SentAAAA DDNS/Updated DDNS/Stopped DDNS/StopReason DDNS/StateOf DDNS/RetryAt"
        " DDNS/Failures DDNS/HostState Window/Left Window/Top Window/Width Window/Height";
    // Grouped by section, as the file holds them. The keys newer than the Windows releases hold their
    // defaults here, and a default that the file does not hold yet is not written (older releases
    // never wrote them).
    const std::string fileOrderAll =
        "Config/ShowWindow Config/AutoRun Config/RecLog Config/PrevIP Config/LeavePlural Config/Interval "
        "Config/TimeOut Config/MailNotice Config/MailAddress Config/MailAddressFrom Config/MailHanKana "
        "Config/NoticeItem Config/ReplaceFolder Config/ReplaceAllFolder Config/ReplaceLink Config/LogRowMax "
        "Config/IPtoURL Config/ReplaceExt Config/ReplaceOnly About/Version Gateway/Auto Gateway/IP "
        "Status/URL "
        "Status/POST Status/Logon Status/User Status/Pass Status/NoScript GlobalIP/Auto GlobalIP/Key "
        "FTP/Upload "
        "FTP/Server FTP/User FTP/Pass FTP/Dir FTP/PASV FTP/Port SMTP/Server SMTP/User "
        "SMTP/Logon SMTP/Pass "
        "SMTP/Port POP/Logon POP/Server POP/User POP/Pass POP/Port ForRobot/Use ForRobot/No ForRobot/KeyJP "
        "ForRobot/DescriptionJP ForRobot/KeyEN ForRobot/DescriptionEN Closed/Use Closed/Mode Closed/Fast "
        "Closed/String Closed/File";
    // Scope All writes the key of every field.
    std::vector<std::string> everyField;
    for (const ConfigField& f : ConfigFields())
        everyField.push_back(std::string(f.section) + "/" + f.key);
    std::vector<std::string> written = Split(all);
    std::sort(everyField.begin(), everyField.end());
    std::sort(written.begin(), written.end());
    ASSERT_EQ(written, everyField);
    const std::pair<SaveScope, std::string> scopes[] = {{SaveScope::All, fileOrderAll},
                                                        {SaveScope::Shutdown, kShutdown},
                                                        {SaveScope::Robots, kRobots},
                                                        {SaveScope::FileTypes, kFileTypes},
                                                        {SaveScope::Closing, kClosing}};
    for (const auto& [scope, expected] : scopes) {
        TempFolder folder;
        TConfig c;
        LoadSettings(c, nullptr);
        SaveSettings(c, scope);
        EXPECT_EQ(KeysInFile(ReadBytes(IniPath(folder))), Split(expected))
            << "scope " << static_cast<int>(scope);
    }
}

TEST(SaveSettingsScopes, AScopeChangesOnlyItsOwnLines)
{
    TempFolder folder;
    RandomSettings random(9);
    TConfig first;
    random.Fill(first);
    WriteBytes(IniPath(folder), "; kept\r\n[Memo]\r\nLeft=10\r\n");
    SaveSettings(first, SaveScope::All);
    const std::string before = ReadBytes(IniPath(folder));
    ASSERT_TRUE(before.starts_with("; kept\r\n[Memo]\r\nLeft=10\r\n\r\n[Config]\r\n"));

    // The published IPv6 address and the window's place are kept at shutdown too (written once known).
    const std::string shutdown =
        std::string(kShutdown) + " IPv6/PrevIPv6 Window/Left Window/Top Window/Width Window/Height";
    const std::pair<SaveScope, std::string> scopes[] = {{SaveScope::Shutdown, shutdown},
                                                        {SaveScope::Robots, kRobots},
                                                        {SaveScope::FileTypes, kFileTypes},
                                                        {SaveScope::Closing, kClosing}};
    for (const auto& [scope, keys] : scopes) {
        WriteBytes(IniPath(folder), before);
        TConfig second;
        random.Fill(second);
        SaveSettings(second, scope);
        const std::string after = ReadBytes(IniPath(folder));
        platform::ProfileFile a(QString{}), b(QString{});
        a.Parse(before);
        b.Parse(after);
        EXPECT_EQ(KeysInFile(after), KeysInFile(before)) << "nothing added, nothing moved";
        const std::vector<std::string> own = Split(keys);
        for (const std::string& key : KeysInFile(before)) {
            const std::string section = key.substr(0, key.find('/'));
            const std::string name = key.substr(key.find('/') + 1);
            const bool mine = std::find(own.begin(), own.end(), key) != own.end();
            if (!mine) {
                EXPECT_EQ(b.ReadString(section, name, "?"), a.ReadString(section, name, "?")) << key;
            }
        }
        TConfig loaded;
        LoadSettings(loaded, nullptr);
        EXPECT_EQ(loaded.Version, "1.3");
        if (scope == SaveScope::Robots) {
            EXPECT_EQ(loaded.RobotNo, second.RobotNo);
            EXPECT_EQ(loaded.RobotUse, first.RobotUse) << "ForRobot/Use belongs to the settings dialog";
            EXPECT_EQ(*loaded.KeywordsJP, *second.KeywordsJP);
            EXPECT_EQ(loaded.DescriptionEN, second.DescriptionEN);
        }
        if (scope == SaveScope::Shutdown) {
            EXPECT_EQ(loaded.PrevIP, second.PrevIP);
            EXPECT_EQ(loaded.PrevIPv6, second.PrevIPv6);
            EXPECT_EQ(loaded.Interval, first.Interval);
        }
    }
    EXPECT_NE(ReadBytes(IniPath(folder)).find("[Memo]\r\nLeft=10\r\n"), std::string::npos);
}

TEST(SaveSettingsScopes, OnlyScopeAllWritesTheVersion)
{
    TempFolder folder;
    TConfig c;
    LoadSettings(c, nullptr);
    c.StatusPass = "Plain";
    // A file first created at program end has no version, so its passwords read as plain text.
    SaveSettings(c, SaveScope::Shutdown);
    EXPECT_EQ(ReadBytes(IniPath(folder)).find("Version"), std::string::npos);
    TConfig back;
    LoadSettings(back, nullptr);
    EXPECT_EQ(back.Version, "1.0");

    WriteBytes(IniPath(folder), "[About]\r\nVersion=1.1\r\n");
    SaveSettings(c, SaveScope::Closing);
    EXPECT_NE(ReadBytes(IniPath(folder)).find("Version=1.1\r\n"), std::string::npos);
    c.Version = "1.1";
    SaveSettings(c, SaveScope::All);
    EXPECT_NE(ReadBytes(IniPath(folder)).find("Version=1.3\r\n"), std::string::npos);
    EXPECT_EQ(c.Version, "1.1") << "the object is not changed by saving";
}

TEST(SaveSettingsForms, StoredFormsOfPasswordsKeywordsAndTexts)
{
    TempFolder folder;
    TConfig c;
    LoadSettings(c, nullptr);
    c.FtpPass = "";
    c.StatusPass = " spaced pass ";
    c.KeywordsJP = std::make_unique<text::StringList>(text::StringList{"", "a", "", "b", ""});
    c.StatusPost = "a=1\r\n[Evil]\r\nInterval=99";
    c.GlobalIPKey = "ADSL IP";
    SaveSettings(c, SaveScope::All);
    const std::string file = ReadBytes(IniPath(folder));
    EXPECT_NE(file.find("[FTP]\r\nUpload=1\r\nServer=\r\nUser=\r\nPass=\r\n"), std::string::npos)
        << "an empty password stays empty";
    EXPECT_NE(file.find("\r\nKeyJP=a,,b,\r\n"), std::string::npos) << "a separator only after text";
    EXPECT_NE(file.find("\r\nKey=QURTTCBJUA==\r\n"), std::string::npos);
    EXPECT_EQ(file.find("[Evil]\r\n"), std::string::npos) << "a line break cannot start a section";

    TConfig back;
    LoadSettings(back, nullptr);
    EXPECT_EQ(back.StatusPass, " spaced pass ") << "blanks, which the scramble leaves alone, survive";
    EXPECT_EQ(*back.KeywordsJP, (text::StringList{"a", "", "b", ""}));
    EXPECT_EQ(back.StatusPost, "a=1  [Evil]  Interval=99");
    EXPECT_EQ(back.Interval, 3);
}

TEST(SaveSettingsFailure, ErrorNamesTheFileAndLeavesItUntouched)
{
    TempFolder folder;
    const std::string old = "[Config]\r\nInterval=7\r\n";
    WriteBytes(IniPath(folder), old);
    TConfig c;
    LoadSettings(c, nullptr);
    c.ClosedString = std::string(1 << 20, 'x');

    struct rlimit saved
    {
    };
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string message;
    try {
        SaveSettings(c, SaveScope::All);
    } catch (const SettingsWriteError& e) {
        message = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(message, platform::PathToCp932(IniPath(folder)) + S(u8" に書き込めません"));
    EXPECT_EQ(ReadBytes(IniPath(folder)), old);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("Quillmap.ini")});
}

TEST(SaveSettingsFailure, AnUnreadableFileIsNotOverwritten)
{
    // Saving would otherwise replace it with only this scope's keys.
    TempFolder folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("Quillmap.ini")));
    TConfig c;
    LoadSettings(c, nullptr);
    EXPECT_THROW(SaveSettings(c, SaveScope::Shutdown), SettingsWriteError);
    EXPECT_TRUE(QFileInfo(IniPath(folder)).isDir());
}

TEST(SaveSettingsFailure, NewFileIsPrivateExistingKeepsItsMode)
{
    TempFolder folder;
    TConfig c;
    LoadSettings(c, nullptr);
    SaveSettings(c, SaveScope::All);
    struct stat st
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(IniPath(folder)).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    ASSERT_EQ(::chmod(QFile::encodeName(IniPath(folder)).constData(), 0640), 0);
    c.Interval = 9;
    SaveSettings(c, SaveScope::All);
    ASSERT_EQ(::stat(QFile::encodeName(IniPath(folder)).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(AssignSettings, CopiesEverythingButVersionAndPrevIP)
{
    RandomSettings random(31);
    TConfig src;
    random.Fill(src);
    TConfig dest;
    random.Fill(dest);
    const std::string destVersion = dest.Version;
    const std::string destPrevIP = dest.PrevIP;
    const std::string destPrevIPv6 = dest.PrevIPv6;
    const std::string destSent = dest.DdnsSentA;
    const std::int32_t destStopped = dest.DdnsStopped;
    AssignSettings(dest, src);
    EXPECT_EQ(dest.DdnsSentA, destSent);
    EXPECT_EQ(dest.DdnsStopped, destStopped);
    ExpectSameFields(src, dest, false, "assigned");
    EXPECT_EQ(dest.Version, destVersion);
    EXPECT_EQ(dest.PrevIP, destPrevIP);
    EXPECT_EQ(dest.PrevIPv6, destPrevIPv6);
    ASSERT_NE(dest.KeywordsJP.get(), src.KeywordsJP.get()) << "the lists are copies";
    src.KeywordsJP->push_back("later");
    EXPECT_NE(*dest.KeywordsJP, *src.KeywordsJP);

    // A fresh object has no lists: the copy gets empty ones. Assigning to itself keeps everything.
    TConfig fresh;
    AssignSettings(dest, fresh);
    ASSERT_TRUE(dest.KeywordsJP && dest.KeywordsEN);
    EXPECT_TRUE(dest.KeywordsJP->empty());
    AssignSettings(src, src);
    ASSERT_TRUE(src.KeywordsJP);
    EXPECT_EQ(src.KeywordsJP->back(), "later");
}
