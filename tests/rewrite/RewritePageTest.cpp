// The upload copy of a page: the replacements of the normal mode, the closing mode, when a page is
// uploaded at all, and the line breaks of the copy.
#include "rewrite/RewritePage.h"

#include <gtest/gtest.h>

using rewrite::RewritePageText;
using rewrite::RewriteSettings;
using rewrite::RewriteState;

namespace {

const std::string kWindowsPage = "C:\\My Documents\\My Webs\\index.htm";

RewriteSettings Settings(const std::string& link, bool replaceOnly = true)
{
    RewriteSettings s;
    s.ReplaceLink = link;
    s.ReplaceOnly = replaceOnly;
    return s;
}

RewriteState State(const std::string& address = "203.0.113.5", const std::string& host = "", bool all = false)
{
    return {address, host, all};
}

std::string Copy(const std::string& page, const RewriteSettings& s, const std::string& path = kWindowsPage,
                 const RewriteState& state = State())
{
    return RewritePageText(page, path, false, s, state).value_or("(not uploaded)");
}

} // namespace

TEST(RewritePage, AddressLinkBase)
{
    const RewriteSettings s = Settings("192.168.0.2");
    EXPECT_EQ(Copy("<a href=\"http://192.168.0.2/index.html\">", s),
              "<a href=\"http://203.0.113.5/index.html\">\r\n");
    EXPECT_EQ(Copy("http://192.168.0.2:8080/x", s), "http://203.0.113.5:8080/x\r\n");
    EXPECT_EQ(Copy("HTTP://192.168.0.2/", s), "http://203.0.113.5/\r\n");
    EXPECT_EQ(Copy("https://192.168.0.2/a ftp://192.168.0.2:21/b mail@192.168.0.2/", s),
              "https://203.0.113.5/a ftp://203.0.113.5:21/b mail@203.0.113.5/\r\n");
    // A bare reference becomes a web link.
    EXPECT_EQ(Copy("see 192.168.0.2/a.htm", s), "see http://203.0.113.5/a.htm\r\n");
}

TEST(RewritePage, FolderLinkBaseInAllSpellings)
{
    const RewriteSettings s = Settings("C:\\Inetpub\\webpub");
    EXPECT_EQ(Copy("file:///C:/Inetpub/webpub/a.htm", s), "http://203.0.113.5/a.htm\r\n");
    EXPECT_EQ(Copy("C:/Inetpub/webpub/a.htm", s), "http://203.0.113.5/a.htm\r\n");
    EXPECT_EQ(Copy("C:\\Inetpub\\webpub\\a.htm", s), "http://203.0.113.5/a.htm\r\n");
    EXPECT_EQ(Copy("c:\\inetpub\\WEBPUB\\a.htm", s), "http://203.0.113.5/a.htm\r\n");
    // Only the link base is replaced; the rest keeps its separators.
    EXPECT_EQ(Copy("C:\\Inetpub\\webpub\\sub\\a.htm", s), "http://203.0.113.5/sub\\a.htm\r\n");
    // Relative to the page two folders below the top of the drive.
    EXPECT_EQ(Copy("<a href=\"../../Inetpub/webpub/a.htm\">", s),
              "<a href=\"http://203.0.113.5/a.htm\">\r\n");
}

TEST(RewritePage, PageInASubfolderOfTheLinkFolder)
{
    const RewriteSettings s = Settings("C:\\Inetpub\\webpub");
    EXPECT_EQ(Copy("<a href=\"../top.htm\">up</a> ../x", s, "C:\\Inetpub\\webpub\\sub\\a.htm"),
              "<a href=\"http://203.0.113.5/top.htm\">up</a> http://203.0.113.5/x\r\n");
}

TEST(RewritePage, PosixPathsTransposed)
{
    const RewriteSettings s = Settings("/var/www/html");
    const std::string page = "/home/u/www/index.htm";
    EXPECT_EQ(Copy("file:///var/www/html/a.htm", s, page), "http://203.0.113.5/a.htm\r\n");
    EXPECT_EQ(Copy("/var/www/html/a.htm", s, page), "http://203.0.113.5/a.htm\r\n");
    EXPECT_EQ(Copy("../../../var/www/html/a.htm", s, page), "http://203.0.113.5/a.htm\r\n");
    EXPECT_EQ(Copy("../x.htm", s, "/var/www/html/sub/a.htm"), "http://203.0.113.5/x.htm\r\n");
    // A page above the link folder: "html/" must not cut the absolute form apart.
    EXPECT_EQ(Copy("/var/www/html/a.htm html/b.htm", s, "/var/www/index.htm"),
              "http://203.0.113.5/a.htm http://203.0.113.5/b.htm\r\n");
}

TEST(RewritePage, HostNameWhenWantedAndFound)
{
    RewriteSettings s = Settings("192.168.0.2");
    s.IPtoURL = true;
    EXPECT_EQ(Copy("http://192.168.0.2/", s, kWindowsPage, State("203.0.113.5", "home.example.jp")),
              "http://home.example.jp/\r\n");
    EXPECT_EQ(Copy("http://192.168.0.2/", s, kWindowsPage, State("203.0.113.5", "")),
              "http://203.0.113.5/\r\n");
    s.IPtoURL = false;
    EXPECT_EQ(Copy("http://192.168.0.2/", s, kWindowsPage, State("203.0.113.5", "home.example.jp")),
              "http://203.0.113.5/\r\n");
}

TEST(RewritePage, WhichPagesAreUploaded)
{
    const std::string page = "<p>nothing to replace</p>";
    EXPECT_FALSE(RewritePageText(page, kWindowsPage, false, Settings("192.168.0.2"), State()).has_value());
    EXPECT_EQ(Copy(page, Settings("192.168.0.2", false)), page + "\r\n");
    EXPECT_EQ(
        RewritePageText(page, kWindowsPage, false, Settings("192.168.0.2"), State("203.0.113.5", "", true)),
        page + "\r\n");
    // An empty page has no lines: never uploaded.
    EXPECT_FALSE(
        RewritePageText("", kWindowsPage, false, Settings("192.168.0.2", false), State()).has_value());
}

TEST(RewritePage, LineBreaksOfTheCopy)
{
    const RewriteSettings s = Settings("192.168.0.2", false);
    EXPECT_EQ(Copy("a\nb\rc\r\nd", s), "a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(Copy("a\n\n", s), "a\r\n\r\n");
    EXPECT_EQ(Copy("\n\nx", s), "\r\n\r\nx\r\n");
}

TEST(RewritePage, FormsThatMustNotBeApplied)
{
    // The page lies in the link folder: R1 is empty and R3 a colon alone. Neither may touch the page,
    // nor may the "https://" + empty form.
    const std::string page = "a:b https://other.example/ C:\\Inetpub\\webpub\\x.htm";
    EXPECT_EQ(Copy(page, Settings("C:\\Inetpub\\webpub"), "C:\\Inetpub\\webpub\\index.htm"),
              "a:b https://other.example/ http://203.0.113.5/x.htm\r\n");
    // No link base at all: nothing is replaced, not even the separators.
    EXPECT_FALSE(RewritePageText("a\\b/c:d", kWindowsPage, false, Settings(""), State()).has_value());
}

TEST(RewritePage, ClosingModeTakesLinksOff)
{
    RewriteSettings s = Settings("192.168.0.2");
    const std::string oneLine = "Visit <a href=\"http://192.168.0.2/\">my server</a> now";
    const std::string split = "<a href=\"http://192.168.0.2/x\">\nthe server\n</a>";
    for (const bool fast : {true, false}) {
        s.ClosedFast = fast;
        EXPECT_EQ(RewritePageText(oneLine, kWindowsPage, true, s, State()), "Visit my server now\r\n");
    }
    // A link whose tags are on different lines is left alone line by line, taken off on the whole page.
    s.ClosedFast = true;
    EXPECT_FALSE(RewritePageText(split, kWindowsPage, true, s, State()).has_value());
    s.ClosedFast = false;
    EXPECT_EQ(RewritePageText(split, kWindowsPage, true, s, State()), "\r\nthe server\r\n\r\n");
    // On the whole page, blank lines at its very start drop out.
    s.ReplaceOnly = false;
    EXPECT_EQ(RewritePageText("\n\nabc\n\ndef", kWindowsPage, true, s, State()), "abc\r\n\r\ndef\r\n");
}

TEST(RewritePage, AnIpv6AddressStandsInBracketsWhereverAHostGoes)
{
    const RewriteState v6 = State("2001:db8:e0:5::10");
    const RewriteSettings s = Settings("192.168.0.2");
    EXPECT_EQ(Copy("<a href=\"http://192.168.0.2/index.html\">", s, kWindowsPage, v6),
              "<a href=\"http://[2001:db8:e0:5::10]/index.html\">\r\n");
    // The colon forms keep the port after the bracket.
    EXPECT_EQ(Copy("http://192.168.0.2:8080/x", s, kWindowsPage, v6),
              "http://[2001:db8:e0:5::10]:8080/x\r\n");
    EXPECT_EQ(Copy("https://192.168.0.2/a ftp://192.168.0.2:21/b mail@192.168.0.2/", s, kWindowsPage, v6),
              "https://[2001:db8:e0:5::10]/a ftp://[2001:db8:e0:5::10]:21/b mail@[2001:db8:e0:5::10]/\r\n");
    EXPECT_EQ(Copy("see 192.168.0.2/a.htm", s, kWindowsPage, v6), "see http://[2001:db8:e0:5::10]/a.htm\r\n");
    const RewriteSettings folder = Settings("C:\\Inetpub\\webpub");
    EXPECT_EQ(Copy("file:///C:/Inetpub/webpub/a.htm ../../Inetpub/webpub/b.htm", folder, kWindowsPage, v6),
              "http://[2001:db8:e0:5::10]/a.htm http://[2001:db8:e0:5::10]/b.htm\r\n");
    // A host name found for the address goes without brackets.
    RewriteSettings named = s;
    named.IPtoURL = true;
    EXPECT_EQ(Copy("http://192.168.0.2/", named, kWindowsPage, State("2001:db8:e0:5::10", "home.example.jp")),
              "http://home.example.jp/\r\n");
    EXPECT_EQ(rewrite::AddressText(s, State("203.0.113.5")), "203.0.113.5");
}
