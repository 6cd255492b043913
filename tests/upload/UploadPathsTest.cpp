// Where a listed file goes on the server and how the status bar names it, which files count as
// pages, and the progress figures.
#include "upload/UploadPaths.h"
#include "text/Sjis.h"
#include "upload/UploadRun.h"

#include <gtest/gtest.h>

using namespace upload;

TEST(ListedPaths, FoldersBelowTheListedFolderBecomeRemoteFoldersWithSlashes)
{
    for (const std::string folder : {"/home/u/site", "/home/u/site/", "/home/u/site\\"}) {
        SCOPED_TRACE(folder);
        const ListedFile top = SplitListedPath(folder, "/home/u/site/index.htm");
        EXPECT_EQ(top.RemoteFolder, "");
        EXPECT_EQ(top.Name, "index.htm");
        EXPECT_EQ(top.ShownPath, "index.htm");
        const ListedFile deep = SplitListedPath(folder, "/home/u/site/sub/deeper/a.htm");
        EXPECT_EQ(deep.RemoteFolder, "sub/deeper");
        EXPECT_EQ(deep.Name, "a.htm");
        EXPECT_EQ(deep.ShownPath, "sub\\deeper\\a.htm");
    }
    // A relative folder works the same way.
    EXPECT_EQ(SplitListedPath("site", "site/sub/a.htm").RemoteFolder, "sub");
}

TEST(ListedPaths, ATrailByteThatLooksLikeABackslashIsNoSeparator)
{
    // "表" is 0x95 0x5C in code page 932; "ソ" is 0x83 0x5C.
    const std::string hyou = text::Sjis(u8"表");
    const std::string so = text::Sjis(u8"ソ");
    ASSERT_EQ(hyou[1], '\\');
    const ListedFile file = SplitListedPath("/s", "/s/" + hyou + "/" + so + ".htm");
    EXPECT_EQ(file.RemoteFolder, hyou);
    EXPECT_EQ(file.Name, so + ".htm");
    EXPECT_EQ(file.ShownPath, hyou + "\\" + so + ".htm");
    EXPECT_EQ(ExtensionOf(so + ".htm"), ".htm");
}

TEST(ListedPaths, RemotePathsJoinFolderAndName)
{
    EXPECT_EQ(RemotePath("", "a.htm"), "a.htm");
    EXPECT_EQ(RemotePath("sub/deeper", "a.htm"), "sub/deeper/a.htm");
}

TEST(PageFiles, TheExtensionDecidesInAnyLetterCase)
{
    EXPECT_TRUE(IsPageFile("index.HTM", "*.htm;*.html"));
    EXPECT_TRUE(IsPageFile("a.b.Html", "*.htm;*.HTML"));
    EXPECT_FALSE(IsPageFile("index.htm.bak", "*.htm;*.html"));
    EXPECT_FALSE(IsPageFile("logo.gif", "*.htm;*.html"));
    // Only the extension of the mask counts, not the rest of its pattern.
    EXPECT_TRUE(IsPageFile("other.shtml", "index.shtml"));
}

TEST(PageFiles, EmptyMasksMakeNoFileWithoutExtensionAPage)
{
    EXPECT_FALSE(IsPageFile("LICENSE", "*.htm;"));
    EXPECT_FALSE(IsPageFile("LICENSE", ";;"));
    EXPECT_FALSE(IsPageFile("LICENSE", ""));
    // A mask without extension does stand for names without one.
    EXPECT_TRUE(IsPageFile("README", "*.htm;README"));
}

TEST(Progress, ByteCountsHaveThousandsSeparators)
{
    EXPECT_EQ(ThousandsText(0), "0");
    EXPECT_EQ(ThousandsText(999), "999");
    EXPECT_EQ(ThousandsText(1000), "1,000");
    EXPECT_EQ(ThousandsText(12345), "12,345");
    EXPECT_EQ(ThousandsText(123456), "123,456");
    EXPECT_EQ(ThousandsText(1234567), "1,234,567");
    EXPECT_EQ(ThousandsText(-1234), "-1,234");
    EXPECT_EQ(ThousandsText(9223372036854775807LL), "9,223,372,036,854,775,807");
}

TEST(Progress, ThePercentageIsCutNotRounded)
{
    EXPECT_EQ(ProgressPercent(12345, 29000), 42);
    EXPECT_EQ(ProgressPercent(28999, 29000), 99);
    EXPECT_EQ(ProgressPercent(29, 100), 29);
    EXPECT_EQ(ProgressPercent(29000, 29000), 100);
    EXPECT_EQ(ProgressPercent(0, 29000), 0);
    // An empty file has been sent whole; no division by zero.
    EXPECT_EQ(ProgressPercent(0, 0), 100);
}

TEST(Progress, TheTextNamesFileShareAndBytes)
{
    EXPECT_EQ(ProgressText(text::Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ中... sub\\a.htm"), 12345, 29000),
              text::Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ中... sub\\a.htm - 42% (12,345/29,000bytes)"));
}
