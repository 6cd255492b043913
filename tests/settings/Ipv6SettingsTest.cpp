// The [IPv6] settings: a file that never used them is written as before; once set they round-trip,
// and PrevIPv6 is learned by the program like PrevIP (kept at shutdown, not copied by the dialog).
#include "settings/ConfigUnit.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

using namespace settings;
using testsupport::ReadBytes;
using testsupport::TempFolder;
using testsupport::WriteBytes;

TEST(Ipv6Settings, WrittenOnlyOnceUsedAndRoundTrip)
{
    TempFolder folder;
    const QString ini = folder.file(QStringLiteral("Quillmap.ini"));
    TConfig c;
    LoadSettings(c, nullptr);
    EXPECT_EQ(c.Ipv6Use, 0);
    EXPECT_TRUE(c.Ipv6Interface.empty() && c.Ipv6Suffix.empty() && c.PrevIPv6.empty());
    SaveSettings(c, SaveScope::All);
    EXPECT_EQ(ReadBytes(ini).find("[IPv6]"), std::string::npos);

    c.Ipv6Use = 1;
    c.Ipv6Interface = "enp3s0";
    c.Ipv6Suffix = "::10";
    SaveSettings(c, SaveScope::All);
    EXPECT_EQ(ReadBytes(ini).find("PrevIPv6"), std::string::npos) << "nothing published yet";
    c.PrevIPv6 = "2001:db8:e0:5::10";
    SaveSettings(c, SaveScope::Shutdown);
    const std::string bytes = ReadBytes(ini);
    EXPECT_TRUE(bytes.ends_with(
        "[IPv6]\r\nUse=1\r\nInterface=enp3s0\r\nSuffix=::10\r\nPrevIPv6=2001:db8:e0:5::10\r\n"))
        << bytes;

    TConfig back;
    LoadSettings(back, nullptr);
    EXPECT_EQ(back.Ipv6Use, 1);
    EXPECT_EQ(back.Ipv6Interface, "enp3s0");
    EXPECT_EQ(back.Ipv6Suffix, "::10");
    EXPECT_EQ(back.PrevIPv6, "2001:db8:e0:5::10");

    // Switched off again, the keys the file holds keep their place with the new values.
    back.Ipv6Use = 0;
    SaveSettings(back, SaveScope::All);
    TConfig again;
    LoadSettings(again, nullptr);
    EXPECT_EQ(again.Ipv6Use, 0);
    EXPECT_EQ(again.Ipv6Suffix, "::10");
}

TEST(Ipv6Settings, PrevIPv6IsTheProgramsNotTheDialogs)
{
    TempFolder folder;
    TConfig src;
    LoadSettings(src, nullptr);
    src.Ipv6Use = 1;
    src.PrevIPv6 = "2001:db8::1";
    TConfig dest;
    LoadSettings(dest, nullptr);
    dest.PrevIPv6 = "2001:db8::2";
    AssignSettings(dest, src);
    EXPECT_EQ(dest.Ipv6Use, 1);
    EXPECT_EQ(dest.PrevIPv6, "2001:db8::2");
}
