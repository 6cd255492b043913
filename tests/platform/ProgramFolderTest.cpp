// Which folder of a program file counts as the program's folder: a copy installed among other
// programs must never scatter Quillmap.ini, Log.txt and Upload.htm there.
#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using platform::IsPortableFolder;

namespace {

struct Roots
{
    QTemporaryDir base;
    QString make(const QString& relative) const
    {
        const QString path = base.path() + u'/' + relative;
        QDir().mkpath(path);
        return path;
    }
};

} // namespace

TEST(ProgramFolderRule, WritableFoldersUnderASystemRootAreNotThePrograms)
{
    Roots t;
    const QStringList roots{t.make(QStringLiteral("usr")), t.make(QStringLiteral("opt")),
                            t.make(QStringLiteral("bin"))};
    EXPECT_FALSE(IsPortableFolder(t.make(QStringLiteral("usr/bin")), roots));
    EXPECT_FALSE(IsPortableFolder(t.make(QStringLiteral("opt/quillmap/bin")), roots));
    EXPECT_FALSE(IsPortableFolder(t.make(QStringLiteral("bin")), roots));
    // A root given with a trailing separator or in an untidy spelling matches all the same.
    EXPECT_FALSE(
        IsPortableFolder(t.make(QStringLiteral("opt/x")), {t.base.path() + QStringLiteral("/./opt/")}));
}

TEST(ProgramFolderRule, SiblingsThatOnlyShareTheBeginningOfARootCount)
{
    Roots t;
    const QStringList roots{t.make(QStringLiteral("opt"))};
    EXPECT_TRUE(IsPortableFolder(t.make(QStringLiteral("optical")), roots));
    EXPECT_TRUE(IsPortableFolder(t.make(QStringLiteral("home/me/quillmap")), roots));
}

TEST(ProgramFolderRule, AFolderHoldingTheSettingsFileCountsEvenUnderARoot)
{
    Roots t;
    const QString folder = t.make(QStringLiteral("opt/quillmap"));
    QFile ini(folder + QStringLiteral("/Quillmap.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.close();
    EXPECT_TRUE(IsPortableFolder(folder, {t.make(QStringLiteral("opt"))}));
}

TEST(ProgramFolderRule, ALinkIntoARootIsUnderThatRoot)
{
    Roots t;
    const QString real = t.make(QStringLiteral("usr/bin"));
    const QString link = t.base.path() + QStringLiteral("/bin");
    ASSERT_TRUE(QFile::link(real, link));
    EXPECT_FALSE(IsPortableFolder(link, {t.base.path() + QStringLiteral("/usr")}));
}

TEST(ProgramFolderRule, MissingFoldersAreNotThePrograms)
{
    Roots t;
    EXPECT_FALSE(IsPortableFolder(QString(), {}));
    EXPECT_FALSE(IsPortableFolder(t.base.path() + QStringLiteral("/missing"), {}));
}

TEST(ProgramFolderRule, ReadOnlyFoldersAreNotThePrograms)
{
    Roots t;
    const QString folder = t.make(QStringLiteral("readonly"));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (QFileInfo(folder).isWritable())
        GTEST_SKIP() << "running as root: every folder is writable";
    EXPECT_FALSE(IsPortableFolder(folder, {}));
}

TEST(ProgramFolderRule, TheSystemRootsHoldEveryPlaceProgramsAreInstalled)
{
    const QStringList roots = platform::SystemProgramRoots();
    for (const char* root : {"/usr", "/bin", "/sbin", "/opt", "/snap"})
        EXPECT_TRUE(roots.contains(QString::fromLatin1(root))) << root;
}
