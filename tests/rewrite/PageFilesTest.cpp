// The files: the copy in the program's folder, the local page that is never modified, and bad input
// (NUL bytes, a cut double-byte character, a 100 MiB line, an unreadable page, a copy that cannot be
// written).
#include "rewrite/Annotations.h"
#include "rewrite/ClosedPage.h"
#include "rewrite/PageFile.h"
#include "rewrite/RewritePage.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <unistd.h>

using testsupport::ReadBytes;
using testsupport::TempFolder;
using testsupport::WriteBytes;

namespace {

rewrite::RewriteSettings AddressSettings(bool fast = false)
{
    rewrite::RewriteSettings s;
    s.ReplaceLink = "192.168.0.2";
    s.ClosedFast = fast;
    return s;
}

const rewrite::RewriteState kState{"203.0.113.5", "", false};

QString CopyFile(const TempFolder& home)
{
    return home.file(QStringLiteral("Upload.htm"));
}

} // namespace

TEST(PageFiles, CopyIsWrittenAndThePageLeftAsItWas)
{
    TempFolder home;
    const QString page = home.file(QStringLiteral("index.htm"));
    const std::string original =
        "<a href=\"http://192.168.0.2/\">x</a>\n<!-- Quillmap TimeStamp -->\n</head>";
    WriteBytes(page, original);
    for (const bool closing : {false, true}) {
        for (const bool fast : {false, true}) {
            const std::string copy =
                rewrite::RewritePage(page.toStdString(), closing, AddressSettings(fast), kState);
            ASSERT_EQ(copy, CopyFile(home).toStdString());
            rewrite::AddRobotsMeta(copy, rewrite::RobotsSettings{true, {}, {}});
            rewrite::StampPage(copy);
            rewrite::InsertClosedNotice(copy, std::string_view("closed"));
            EXPECT_EQ(ReadBytes(page), original);
        }
    }
    EXPECT_EQ(ReadBytes(CopyFile(home)).find("Quillmap TimeStamp"), std::string::npos);
}

TEST(PageFiles, LeftoverCopyIsDeletedEvenWhenNothingIsUploaded)
{
    TempFolder home;
    WriteBytes(CopyFile(home), "old copy");
    const QString page = home.file(QStringLiteral("plain.htm"));
    WriteBytes(page, "no link here");
    EXPECT_EQ(rewrite::RewritePage(page.toStdString(), false, AddressSettings(), kState), "");
    EXPECT_FALSE(QFile::exists(CopyFile(home)));
    // A missing page and an empty page are skipped, not errors.
    EXPECT_EQ(
        rewrite::RewritePage(home.filePath(QStringLiteral("missing.htm")), false, AddressSettings(), kState),
        "");
    WriteBytes(page, "");
    EXPECT_EQ(rewrite::RewritePage(page.toStdString(), false, AddressSettings(), kState), "");
}

TEST(PageFiles, NulBytesAndACutDoubleByteCharacterAtTheEnd)
{
    TempFolder home;
    const QString page = home.file(QStringLiteral("odd.htm"));
    const std::string original = std::string("a\0b http://192.168.0.2/\0\r\nend \x82", 31);
    WriteBytes(page, original);
    const std::string copy = rewrite::RewritePage(page.toStdString(), false, AddressSettings(), kState);
    ASSERT_FALSE(copy.empty());
    EXPECT_EQ(ReadBytes(CopyFile(home)), std::string("a\0b http://203.0.113.5/\0\r\nend \x82\r\n", 33));
    rewrite::StampPage(copy);
    EXPECT_EQ(ReadBytes(CopyFile(home)), std::string("a\0b http://203.0.113.5/\0\r\nend \x82\r\n", 33));
}

TEST(PageFiles, OneLineOf100MiB)
{
    TempFolder home;
    const QString page = home.file(QStringLiteral("huge.htm"));
    // A link every 64 KiB or so, in one line without a break.
    const std::string link = "<a href=\"http://192.168.0.2/a.htm\">a</a>";
    const std::string filler(65536, 'x');
    std::string line;
    line.reserve((100u << 20) + filler.size() + link.size());
    size_t links = 0;
    while (line.size() < (100u << 20)) {
        line += link + filler;
        ++links;
    }
    WriteBytes(page, line);
    line.clear();
    line.shrink_to_fit();

    ASSERT_FALSE(rewrite::RewritePage(page.toStdString(), false, AddressSettings(), kState).empty());
    std::string copy = ReadBytes(CopyFile(home));
    const std::string rewritten = "<a href=\"http://203.0.113.5/a.htm\">a</a>";
    EXPECT_EQ(copy.size(), links * (rewritten.size() + filler.size()) + 2);
    EXPECT_EQ(copy.compare(copy.size() - 2 - filler.size() - rewritten.size(), rewritten.size(), rewritten),
              0);

    ASSERT_FALSE(rewrite::RewritePage(page.toStdString(), true, AddressSettings(), kState).empty());
    copy = ReadBytes(CopyFile(home));
    EXPECT_EQ(copy.size(), links * (1 + filler.size()) + 2);
    EXPECT_EQ(copy.compare(0, 2, "ax"), 0);
}

TEST(PageFiles, UnreadablePageIsAnError)
{
    TempFolder home;
    // Reading this file fails even for root: its first page is not mapped.
    std::string unreadable = "/proc/self/mem";
    if (geteuid() != 0) {
        unreadable = home.filePath(QStringLiteral("secret.htm"));
        WriteBytes(QString::fromStdString(unreadable), "x");
        QFile::setPermissions(QString::fromStdString(unreadable), QFileDevice::Permissions());
    }
    EXPECT_THROW(rewrite::RewritePage(unreadable, false, AddressSettings(), kState), rewrite::RewriteError);
    EXPECT_FALSE(QFile::exists(CopyFile(home)));
    EXPECT_THROW(rewrite::StampPage(home.filePath(QStringLiteral("missing.htm"))), rewrite::RewriteError);
}

TEST(PageFiles, CopyThatCannotBeWrittenIsAnErrorAndLeavesNothingBehind)
{
    TempFolder home;
    const QString page = home.file(QStringLiteral("index.htm"));
    const std::string original = "http://192.168.0.2/";
    WriteBytes(page, original);
    // A folder where the copy belongs: it can be neither deleted nor replaced.
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("Upload.htm/inside")));
    EXPECT_THROW(rewrite::RewritePage(page.toStdString(), false, AddressSettings(), kState),
                 rewrite::RewriteError);
    EXPECT_EQ(ReadBytes(page), original);
    const QStringList left = QDir(home.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left, QStringList{QStringLiteral("index.htm")});
}

TEST(PageFiles, AnnotationThatCannotBeWrittenLeavesTheFileWhole)
{
    // Read-only file systems refuse even root.
    EXPECT_THROW(rewrite::StampPage("/proc/version"), rewrite::RewriteError);
    const std::string before = ReadBytes(QStringLiteral("/proc/version"));
    EXPECT_FALSE(before.empty());
}
