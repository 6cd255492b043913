// The link forms and relative forms, for Windows and POSIX paths.
#include "rewrite/LinkForms.h"
#include "text/Sjis.h"

#include <gtest/gtest.h>

using rewrite::BuildLinkForms;
using rewrite::LinkForms;

namespace {

void ExpectForms(const LinkForms& f, const std::array<std::string, 4>& l, const std::array<std::string, 4>& r)
{
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(f.L[i], l[i]) << "L" << i + 1;
        EXPECT_EQ(f.R[i], r[i]) << "R" << i + 1;
    }
}

} // namespace

TEST(LinkForms, WindowsFolderSeenFromAnotherFolderOfTheDrive)
{
    ExpectForms(BuildLinkForms("C:\\Inetpub\\webpub", "C:\\My Documents\\My Webs\\index.htm"),
                {"C:\\Inetpub\\webpub\\", "C:/Inetpub/webpub/", "C:\\Inetpub\\webpub:", "C:/Inetpub/webpub:"},
                {"..\\..\\Inetpub\\webpub\\", "../../Inetpub/webpub/",
                 "..\\..\\Inetpub\\webpub:", "../../Inetpub/webpub:"});
}

TEST(LinkForms, AddressAsLinkBaseHasNoRelativeForm)
{
    const std::array<std::string, 4> l = {"192.168.0.2\\", "192.168.0.2/", "192.168.0.2:", "192.168.0.2:"};
    ExpectForms(BuildLinkForms("192.168.0.2", "C:\\My Documents\\My Webs\\index.htm"), l, l);
    ExpectForms(BuildLinkForms("192.168.0.2", "/home/u/www/index.htm"), l, l);
}

TEST(LinkForms, PageInsideTheLinkFolderOrBelowIt)
{
    const LinkForms same = BuildLinkForms("C:\\Inetpub\\webpub\\", "C:\\Inetpub\\webpub\\index.htm");
    EXPECT_EQ(same.L[0], "C:\\Inetpub\\webpub\\"); // an existing separator is not doubled
    EXPECT_EQ(same.R[0], "");
    EXPECT_EQ(same.R[1], "");
    EXPECT_EQ(same.R[2], ":");
    EXPECT_TRUE(rewrite::IsInertForm(same.R[2]));
    EXPECT_TRUE(rewrite::IsInertForm(same.R[0]));

    // Windows compares folder names without regard to case.
    const LinkForms below = BuildLinkForms("C:\\Inetpub\\webpub", "c:\\INETPUB\\webpub\\sub\\a.htm");
    EXPECT_EQ(below.R[0], "..\\");
    EXPECT_EQ(below.R[1], "../");
    EXPECT_EQ(below.R[3], "..:");
}

TEST(LinkForms, OtherDriveAndShares)
{
    EXPECT_EQ(BuildLinkForms("D:\\web", "C:\\pages\\a.htm").R[0], "D:\\web\\");
    EXPECT_EQ(BuildLinkForms("\\\\server\\share\\www", "\\\\SERVER\\Share\\pages\\x.htm").R[0], "..\\www\\");
    EXPECT_EQ(BuildLinkForms("\\\\server\\share\\www", "\\\\other\\share\\x.htm").R[0],
              "\\\\server\\share\\www\\");
    EXPECT_EQ(BuildLinkForms("C:\\web", "/home/u/a.htm").R[0], "C:\\web\\");
}

TEST(LinkForms, PosixPaths)
{
    ExpectForms(BuildLinkForms("/var/www/html", "/home/u/www/index.htm"),
                {"/var/www/html/", "/var/www/html/", "/var/www/html:", "/var/www/html:"},
                {"../../../var/www/html/", "../../../var/www/html/",
                 "../../../var/www/html:", "../../../var/www/html:"});
    EXPECT_EQ(BuildLinkForms("/var/www/html/", "/var/www/html/sub/a.htm").R[1], "../");
    EXPECT_EQ(BuildLinkForms("/var/www/html", "/var/www/html/index.htm").R[0], "");
    // POSIX names differ by case.
    EXPECT_EQ(BuildLinkForms("/var/www/html", "/var/www/HTML/a.htm").R[0], "../html/");
}

TEST(LinkForms, DoubleByteNamesEndingInTheBackslashByte)
{
    // 表 is 0x95 0x5C and ソ 0x83 0x5C in code page 932: their second byte is not a separator.
    const std::string base = text::Sjis(u8"C:\\ウェブ\\表");
    const LinkForms f = BuildLinkForms(base, text::Sjis(u8"C:\\ウェブ\\表\\ソ\\p.htm"));
    EXPECT_EQ(f.L[0], base + "\\");
    EXPECT_EQ(f.L[1], text::Sjis(u8"C:/ウェブ/表/"));
    EXPECT_EQ(f.L[2], base + ":");
    EXPECT_EQ(f.R[0], "..\\");
    EXPECT_EQ(BuildLinkForms(base, text::Sjis(u8"C:\\ウェブ\\p.htm")).R[0], text::Sjis(u8"表\\"));
}

TEST(LinkForms, EmptyLinkBaseGivesNothingToApply)
{
    const LinkForms f = BuildLinkForms("", "C:\\pages\\a.htm");
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(rewrite::IsInertForm(f.L[i]));
        EXPECT_TRUE(rewrite::IsInertForm(f.R[i]));
    }
}
