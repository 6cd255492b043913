// File listing over a real temporary folder tree. Names are made natively (UTF-8) and come back as
// code page 932 text.
#include "platform/Codepage.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"
#include "text/VB.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace text;
namespace fs = std::filesystem;

namespace {

class ListFilesTest : public testing::Test
{
protected:
    // Creates an empty file (and its folders) under the temporary folder; the name is UTF-8.
    void Touch(const std::string& relative)
    {
        const fs::path p = Native(relative);
        fs::create_directories(p.parent_path());
        std::ofstream(p).put('x');
    }
    void Folder(const std::string& relative) { fs::create_directories(Native(relative)); }
    fs::path Native(const std::string& relative) const
    {
        return fs::path(m_root.path().toStdString()) / relative;
    }
    // The temporary folder as code page 932 text, without a trailing separator.
    std::string Root() const { return platform::Utf8ToCp932(m_root.path().toStdString()); }

    testsupport::TempFolder m_root{false};
};

using L = StringList;

} // namespace

TEST_F(ListFilesTest, ExtensionsMustAgreeExactlyInAnyCase)
{
    Touch("a.htm");
    Touch("b.html");
    Touch("c.HTM");
    EXPECT_EQ(ListFiles(Root(), "*.htm", true, false), (L{"a.htm", "c.HTM"}));
    EXPECT_EQ(ListFiles(Root(), "*.HTM", true, false), (L{"a.htm", "c.HTM"}));
    EXPECT_EQ(ListFiles(Root(), "*.*", true, false), (L{"a.htm", "b.html", "c.HTM"}));
    EXPECT_EQ(ListFiles(Root(), "?.html", true, false), L{"b.html"});
    EXPECT_EQ(ListFiles(Root(), "a*", true, false), L{}); // a mask without extension wants none
}

TEST_F(ListFilesTest, MasksHiddenFilesAndNamesWithoutExtension)
{
    Touch("README");
    Touch(".htaccess");
    Touch("x.txt");
    Touch("index.htm");
    Folder("dir.htm");
    // A mask without extension takes only names without one; "*.*" takes every file.
    EXPECT_EQ(ListFiles(Root(), "*", true, false), L{"README"});
    EXPECT_EQ(ListFiles(Root(), "*.*", true, false), (L{".htaccess", "index.htm", "README", "x.txt"}));
    // Several masks are listed together and sorted; a file that two masks take comes twice.
    EXPECT_EQ(ListFiles(Root(), "*.txt;*.htm;index.*", true, false), (L{"index.htm", "index.htm", "x.txt"}));
    // A quoted mask is unwrapped; an empty mask takes nothing.
    EXPECT_EQ(ListFiles(Root(), "\"*.txt\"", true, false), L{"x.txt"});
    EXPECT_EQ(ListFiles(Root(), "", true, false), L{});
    EXPECT_EQ(ListFiles(Root(), "*.htm;", true, false), L{"index.htm"});
}

TEST_F(ListFilesTest, SortedWithoutRegardToLetterCase)
{
    for (const char* name : {"b.htm", "C.htm", "a.htm", "B.htm", "_.htm", "1.htm"})
        Touch(name);
    EXPECT_EQ(ListFiles(Root(), "*.htm", true, false),
              (L{"1.htm", "_.htm", "a.htm", "B.htm", "b.htm", "C.htm"}));
}

TEST_F(ListFilesTest, FullPathsAndTheFolderSeparator)
{
    Touch("a.htm");
    const std::string r = Root();
    EXPECT_EQ(ListFiles(r, "*.htm", true, true), L{r + "/a.htm"});
    EXPECT_EQ(ListFiles(r + "/", "*.htm", true, true), L{r + "/a.htm"});
    // A Windows-style trailing separator is taken as the separator.
    EXPECT_EQ(ListFiles(r + "\\", "*.htm", true, true), L{r + "/a.htm"});
}

TEST_F(ListFilesTest, SubfoldersFollowTheFilesEachSortedOnItsOwn)
{
    Touch("z.htm");
    Touch("m.htm");
    Touch("beta/b2.htm");
    Touch("beta/b1.htm");
    Touch("beta/inner/a0.htm"); // sorted with beta's own files when beta's list is sorted again
    Touch("Alpha/x.htm");
    Touch(".git/hidden.htm"); // hidden folders are not visited
    Folder("empty");
    const std::string r = Root();
    EXPECT_EQ(ListFiles(r, "*.htm", false, true),
              (L{r + "/m.htm", r + "/z.htm", r + "/Alpha/x.htm", r + "/beta/b1.htm", r + "/beta/b2.htm",
                 r + "/beta/inner/a0.htm"}));
    EXPECT_EQ(ListFiles(r, "*.htm", false, false),
              (L{"m.htm", "z.htm", "x.htm", "a0.htm", "b1.htm", "b2.htm"}));
    EXPECT_EQ(ListFiles(r, "*.htm", true, false), (L{"m.htm", "z.htm"}));
}

TEST_F(ListFilesTest, JapaneseNamesAndTrailBytesThatLookLikeSeparators)
{
    // 表 is 95 5C in code page 932: its trail byte is a backslash, yet the folder has no separator.
    Touch("表/索引.htm");
    Touch("ページ/ｶﾀｶﾅ.HTM");
    const std::string r = Root();
    const std::string hyo = r + "/" + Sjis(u8"表");
    ASSERT_EQ(hyo.back(), '\\');
    EXPECT_EQ(ListFiles(hyo, "*.htm", true, true), L{hyo + "/" + Sjis(u8"索引.htm")});
    EXPECT_EQ(ListFiles(r, "*.htm", false, false), (L{Sjis(u8"ｶﾀｶﾅ.HTM"), Sjis(u8"索引.htm")}));
    EXPECT_TRUE(FolderExists(hyo));
    EXPECT_EQ(ListFiles(r, Sjis(u8"*.HTM"), false, true),
              (L{r + "/" + Sjis(u8"ページ/ｶﾀｶﾅ.HTM"), r + "/" + Sjis(u8"表/索引.htm")}));
}

TEST_F(ListFilesTest, NamesWithoutACodePageFormAreLeftOut)
{
    Touch("ok.htm");
    Touch("smile\xF0\x9F\x98\x80.htm"); // not in code page 932: it would come back as "?"
    Touch("bad\xFF.htm");               // not even UTF-8
    EXPECT_EQ(ListFiles(Root(), "*.htm", true, false), L{"ok.htm"});
}

TEST_F(ListFilesTest, LinksPipesAndLoops)
{
    Touch("real/a.htm");
    fs::create_symlink(Native("real/a.htm"), Native("link.htm"));
    fs::create_symlink(Native("nowhere.htm"), Native("broken.htm"));
    ASSERT_EQ(mkfifo(Native("pipe.htm").c_str(), 0600), 0);
    // A folder link back to the top would list the tree without end.
    fs::create_directory_symlink(Native(""), Native("real/up"));
    const std::string r = Root();
    EXPECT_EQ(ListFiles(r, "*.htm", true, false), L{"link.htm"});
    EXPECT_EQ(ListFiles(r, "*.htm", false, true), (L{r + "/link.htm", r + "/real/a.htm"}));
}

TEST_F(ListFilesTest, MissingOrEmptyFolder)
{
    EXPECT_EQ(ListFiles(Root() + "/none", "*.*", false, true), L{});
    // An empty folder setting never lists the root of the file system.
    EXPECT_EQ(ListFiles("", "*.*", false, true), L{});
}

TEST_F(ListFilesTest, FolderExists)
{
    Touch("file.htm");
    Folder("sub");
    const std::string r = Root();
    EXPECT_TRUE(FolderExists(r));
    EXPECT_TRUE(FolderExists(r + "/sub"));
    EXPECT_TRUE(FolderExists(r + "/sub/"));
    EXPECT_TRUE(FolderExists(r + "/sub\\"));
    EXPECT_FALSE(FolderExists(r + "/file.htm"));
    EXPECT_FALSE(FolderExists(r + "/none"));
    EXPECT_FALSE(FolderExists(""));
}
