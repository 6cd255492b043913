// The profile file layer: how keys are found, what reads give for missing or odd values, where writes
// land, and how the file reaches the disk.
#include "platform/ProfileFile.h"
#include "support/TempFolder.h"

#include "SettingsTestUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::ProfileFile;
using settingstest::S;
using testsupport::ReadBytes;
using testsupport::TempFolder;
using testsupport::WriteBytes;

namespace {

ProfileFile Parsed(const std::string& bytes)
{
    ProfileFile file(QStringLiteral("/nonexistent/unused.ini"));
    file.Parse(bytes);
    return file;
}

mode_t ModeOf(const QString& path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

} // namespace

TEST(ProfileFileRead, MatchesSectionsAndKeysWithoutRegardToCase)
{
    const ProfileFile f = Parsed("[Config]\r\nInterval=5\r\n[FTP]\r\nserver=ftp.example.jp\r\n");
    EXPECT_EQ(f.ReadString("CONFIG", "interval", "x"), "5");
    EXPECT_EQ(f.ReadString("ftp", "SERVER", "x"), "ftp.example.jp");
    EXPECT_EQ(f.ReadInteger("config", "INTERVAL", 3), 5);
}

TEST(ProfileFileRead, DoubleByteNamesMatchExactly)
{
    // The trail bytes of ア (83 41) and ヂ (83 61) look like "A" and "a": folding them would merge the
    // two names. ゾ ends with the byte of "]", which must not close a section header.
    const ProfileFile f = Parsed(S(u8"[ア]\r\nkey=1\r\n[設定ゾ]\r\nキー=2\r\n[ゾ\r\nlost=3\r\n"));
    EXPECT_EQ(f.ReadString(S(u8"ア"), "KEY", "-"), "1");
    EXPECT_EQ(f.ReadString(S(u8"ヂ"), "key", "-"), "-");
    EXPECT_EQ(f.ReadString(S(u8"設定ゾ"), S(u8"キー"), "-"), "2");
    // "[ゾ" is not a header, so "lost" still belongs to [設定ゾ].
    EXPECT_EQ(f.ReadString(S(u8"設定ゾ"), "lost", "-"), "3");
    EXPECT_EQ(f.ReadString("\x83", "lost", "-"), "-");
}

TEST(ProfileFileRead, MissingThingsGiveTheDefault)
{
    const ProfileFile f = Parsed("top=0\r\n[Config]\r\nBare\r\n=nameless\r\n;Comment=1\r\nEmpty=\r\n");
    EXPECT_EQ(f.ReadString("Nowhere", "Key", "def"), "def");
    EXPECT_EQ(f.ReadString("Config", "Missing", "def"), "def");
    EXPECT_EQ(f.ReadString("Config", "Bare", "def"), "def") << "a key without = reads as missing";
    EXPECT_EQ(f.ReadInteger("Config", "Bare", 7), 7);
    EXPECT_EQ(f.ReadString("Config", "", "def"), "def");
    EXPECT_EQ(f.ReadString("Config", ";Comment", "def"), "def");
    EXPECT_EQ(f.ReadString("", "top", "def"), "def") << "keys before the first section belong to none";
    EXPECT_EQ(f.ReadString("Config", "Empty", "def"), "") << "a present empty value is not missing";
    EXPECT_FALSE(f.HasValue("Config", "Bare"));
    EXPECT_TRUE(f.HasValue("Config", "Empty"));
}

TEST(ProfileFileRead, ValuesLoseBlanksAndOnePairOfEnclosingQuotes)
{
    const ProfileFile f = Parsed(
        "[S]\r\n  a  =  x y \t\r\nb=\"q\"\r\nc='q'\r\nd=\"q'\r\ne=\"\r\nf=\"\"\"\"\r\ng= \" x \" \r\n");
    EXPECT_EQ(f.ReadString("S", "a", ""), "x y");
    EXPECT_EQ(f.ReadString("S", "b", ""), "q");
    EXPECT_EQ(f.ReadString("S", "c", ""), "q");
    EXPECT_EQ(f.ReadString("S", "d", ""), "\"q'");
    EXPECT_EQ(f.ReadString("S", "e", ""), "\"");
    EXPECT_EQ(f.ReadString("S", "f", ""), "\"\"");
    EXPECT_EQ(f.ReadString("S", "g", ""), " x ");
}

TEST(ProfileFileRead, LongValuesAreCutAt2047BytesBetweenCharacters)
{
    const std::string a2047(2047, 'a');
    const std::string a2046(2046, 'a');
    const std::string kanji = S(u8"漢");
    const ProfileFile f = Parsed("[S]\r\nlong=" + std::string(100000, 'a') + "\r\nexact=" + a2047 +
                                 "\r\nsplit=" + a2046 + kanji + "b\r\nfits=" + a2046 + "\x81\r\n");
    EXPECT_EQ(f.ReadString("S", "long", ""), a2047);
    EXPECT_EQ(f.ReadString("S", "exact", ""), a2047);
    EXPECT_EQ(f.ReadString("S", "split", ""), a2046) << "the double-byte character at 2047 is left out whole";
    // A value of 2047 bytes is never cut, even when its last byte looks like a lead byte.
    EXPECT_EQ(f.ReadString("S", "fits", ""), a2046 + "\x81");
}

TEST(ProfileFileRead, IntegersAreDecimalOrHexadecimalElseTheDefault)
{
    struct Case
    {
        const char* text;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"10", 10},
        {"-5", -5},
        {"+7", 7},
        {"0x10", 16},
        {"0X1f", 31},
        {"$FF", 255},
        {"$ffffffff", -1},
        {"-0x10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"0009", 9},
        {" 42 ", 42},
        {"'12'", 12},
        {"2147483648", -99},
        {"99999999999999999999", -99},
        {"0x100000000", -99},
        {"abc", -99},
        {"", -99},
        {"12abc", -99},
        {"1.5", -99},
        {"0x", -99},
        {"$", -99},
        {"-", -99},
        {"1 2", -99},
        {"0xG", -99},
    };
    for (const Case& c : cases) {
        const ProfileFile f = Parsed(std::string("[S]\r\nn=") + c.text + "\r\n");
        EXPECT_EQ(f.ReadInteger("S", "n", -99), c.expected) << "value \"" << c.text << "\"";
    }
}

TEST(ProfileFileRead, LineEndsOfEveryKindAndNoFinalLineEnd)
{
    for (const std::string eol : {"\r\n", "\n", "\r"}) {
        const ProfileFile f = Parsed("[A]" + eol + "x=1" + eol + eol + "[B]" + eol + "y=2");
        EXPECT_EQ(f.ReadString("A", "x", ""), "1");
        EXPECT_EQ(f.ReadString("B", "y", ""), "2") << "the truncated last line still counts";
        EXPECT_EQ(f.Contents(), "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
    }
}

TEST(ProfileFileRead, FirstOfDuplicateKeysAndSectionsWins)
{
    ProfileFile f = Parsed("[A]\r\nk=1\r\nk=2\r\n[a]\r\nk=3\r\nm=4\r\n");
    EXPECT_EQ(f.ReadString("A", "k", ""), "1");
    EXPECT_EQ(f.ReadString("A", "m", ""), "") << "a repeated section is not searched";
    f.WriteString("A", "k", "9");
    f.WriteString("A", "m", "8");
    EXPECT_EQ(f.Contents(), "[A]\r\nk=9\r\nk=2\r\nm=8\r\n[a]\r\nk=3\r\nm=4\r\n");
}

TEST(ProfileFileRead, BinaryGarbageAndHugeLinesDoNotHurt)
{
    std::mt19937 rng(20240601);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string garbage;
    for (int i = 0; i < 200000; ++i) {
        const int b = byte(rng);
        // Plenty of the bytes that give the text its structure.
        garbage += static_cast<char>(b < 20 ? "[]=\r\n;\" '\x81"[b % 10] : b);
    }
    garbage += "\r\n[Config]\r\nInterval=0x10\r\n" + std::string(100000, '\xFE') +
               "\r\nURL=" + std::string(100000, '\xFF') + "\r\nTimeOut";
    ProfileFile f = Parsed(garbage);
    EXPECT_EQ(f.ReadInteger("Config", "Interval", 3), 16);
    EXPECT_EQ(f.ReadInteger("Config", "TimeOut", 3), 3);
    EXPECT_EQ(f.ReadString("Config", "URL", ""), std::string(ProfileFile::kMaxValueBytes, '\xFF'));
    // Whatever was read, writing and reading back agrees.
    f.WriteString("Config", "Interval", "x");
    EXPECT_EQ(Parsed(f.Contents()).ReadString("Config", "Interval", ""), "x");
}

TEST(ProfileFileWrite, ReplacesInPlaceAndKeepsEverythingElse)
{
    ProfileFile f =
        Parsed("; settings\r\n[Config]\r\n  INTERVAL = 5\r\nUnknown=keep\r\n\r\n[Window]\r\nLeft=1\r\n");
    f.WriteInteger("config", "Interval", 10);
    EXPECT_EQ(f.Contents(),
              "; settings\r\n[Config]\r\nINTERVAL=10\r\nUnknown=keep\r\n\r\n[Window]\r\nLeft=1\r\n");
}

TEST(ProfileFileWrite, NewKeysEndTheirSectionNewSectionsEndTheFile)
{
    ProfileFile f = Parsed("[Config]\r\nA=1\r\n\r\n\r\n[Window]\r\nLeft=1");
    f.WriteString("Config", "B", "2");
    f.WriteString("Window", "Top", "3");
    f.WriteString("About", "Version", "1.3");
    f.WriteString("About", "Other", "x");
    EXPECT_EQ(f.Contents(), "[Config]\r\nA=1\r\nB=2\r\n\r\n\r\n[Window]\r\nLeft=1\r\nTop=3\r\n\r\n"
                            "[About]\r\nVersion=1.3\r\nOther=x\r\n");
}

TEST(ProfileFileWrite, BareNameBecomesTheKey)
{
    ProfileFile f = Parsed("[Config]\r\nInterval\r\nOther=1\r\n");
    f.WriteInteger("Config", "Interval", 4);
    EXPECT_EQ(f.Contents(), "[Config]\r\nInterval=4\r\nOther=1\r\n");
}

TEST(ProfileFileWrite, EveryValueReadsBackAsWritten)
{
    const std::string values[] = {
        "",
        " leading",
        "trailing\t",
        "\"quoted\"",
        "'single'",
        "\"",
        "''",
        "a=b=c",
        "[Section]",
        ";not a comment",
        S(u8"全角スペース\u3000で終わる\u3000"),
        S(u8"ｶﾀｶﾅとゾ]"),
    };
    ProfileFile f = Parsed("");
    for (size_t i = 0; i < std::size(values); ++i)
        f.WriteString("S", "k" + std::to_string(i), values[i]);
    const ProfileFile back = Parsed(f.Contents());
    for (size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(back.ReadString("S", "k" + std::to_string(i), "-"), values[i]) << "value " << i;
}

TEST(ProfileFileWrite, LineBreaksAndNulCannotInjectLines)
{
    ProfileFile f = Parsed("");
    f.WriteString("S", "k", "a\r\n[Evil]\r\nx=1");
    f.WriteString("S", "n", std::string("ab\0cd", 5));
    EXPECT_EQ(f.Contents(), "[S]\r\nk=a  [Evil]  x=1\r\nn=ab\r\n");
}

TEST(ProfileFileSave, NewFileIsPrivateAndExistingFileKeepsItsMode)
{
    TempFolder dir(false);
    const QString path = dir.file(QStringLiteral("new.ini"));
    ProfileFile f(path);
    EXPECT_EQ(f.Load(), ProfileFile::LoadResult::Missing);
    f.WriteString("S", "k", "v");
    ASSERT_TRUE(f.Save());
    EXPECT_EQ(ReadBytes(path), "[S]\r\nk=v\r\n");
    EXPECT_EQ(ModeOf(path), 0600u);

    const QString shared = dir.file(QStringLiteral("shared.ini"));
    WriteBytes(shared, "[S]\r\nk=old\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0644), 0);
    ProfileFile g(shared);
    ASSERT_EQ(g.Load(), ProfileFile::LoadResult::Loaded);
    g.WriteString("S", "k", "new");
    ASSERT_TRUE(g.Save());
    EXPECT_EQ(ReadBytes(shared), "[S]\r\nk=new\r\n");
    EXPECT_EQ(ModeOf(shared), 0644u);
}

TEST(ProfileFileSave, FailureLeavesTheOldFileAndNoLeftovers)
{
    TempFolder dir(false);
    const QString path = dir.file(QStringLiteral("Quillmap.ini"));
    const std::string old = "[Config]\r\nInterval=5\r\n";
    WriteBytes(path, old);
    ProfileFile f(path);
    ASSERT_EQ(f.Load(), ProfileFile::LoadResult::Loaded);
    f.WriteString("Closed", "String", std::string(1 << 20, 'x'));

    // A file size limit makes the write fail part-way, for root as for anyone.
    struct rlimit saved
    {
    };
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool saved_ok = f.Save(&error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved_ok);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("Quillmap.ini")});
}

TEST(ProfileFileSave, ReadOnlyFolderLeavesTheOldFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders; covered by SettingsCommand.ReadOnlyFolder";
    TempFolder dir(false);
    const QString path = dir.file(QStringLiteral("Quillmap.ini"));
    WriteBytes(path, "[S]\r\nk=old\r\n");
    ProfileFile f(path);
    ASSERT_EQ(f.Load(), ProfileFile::LoadResult::Loaded);
    f.WriteString("S", "k", "new");
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);
    EXPECT_FALSE(f.Save());
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    EXPECT_EQ(ReadBytes(path), "[S]\r\nk=old\r\n");
}

TEST(ProfileFileLoad, TellsMissingFromUnreadable)
{
    TempFolder dir(false);
    ProfileFile missing(dir.file(QStringLiteral("none.ini")));
    EXPECT_EQ(missing.Load(), ProfileFile::LoadResult::Missing);
    // A folder where the file should be cannot be read, whoever runs the test.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.ini")));
    ProfileFile folder(dir.file(QStringLiteral("folder.ini")));
    EXPECT_EQ(folder.Load(), ProfileFile::LoadResult::Unreadable);
    EXPECT_EQ(folder.ReadString("S", "k", "def"), "def");
}
