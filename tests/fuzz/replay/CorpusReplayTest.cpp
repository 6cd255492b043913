// Every committed fuzz input replayed through its entry point, built with the normal compiler: an
// input that once crashed a parser, broke one of the checked properties (which aborts) or let an
// exception escape fails here, without clang or sanitizers.
#include "FuzzTargets.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <cstdio>
#include <exception>
#include <gtest/gtest.h>
#include <string>

namespace {

QString CorpusFolder(const char* target)
{
    return QStringLiteral(QUILLMAP_TESTS_DIR "/fuzz/corpus/") + QString::fromLatin1(target);
}

class CorpusReplay : public testing::TestWithParam<FuzzTarget>
{
};

TEST_P(CorpusReplay, EveryInputPasses)
{
    const FuzzTarget target = GetParam();
    const QDir folder(CorpusFolder(target.name));
    const QStringList files = folder.entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(files.isEmpty()) << "no corpus in " << folder.path().toStdString();
    for (const QString& name : files) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray bytes = file.readAll();
        // Printed before the run, so that a crash (which ends this program) names its input.
        std::printf("%s/%s\n", target.name, qPrintable(name));
        std::fflush(stdout);
        try {
            EXPECT_EQ(target.entry(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   static_cast<std::size_t>(bytes.size())),
                      0)
                << name.toStdString();
        } catch (const std::exception& e) {
            ADD_FAILURE() << name.toStdString() << ": exception escaped: " << e.what();
        } catch (...) {
            ADD_FAILURE() << name.toStdString() << ": exception escaped";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fuzz, CorpusReplay, testing::ValuesIn(kFuzzTargets),
                         [](const testing::TestParamInfo<FuzzTarget>& info) { return info.param.name; });

// A corpus folder without an entry point would be replayed by nobody, and scripts/fuzz finds its
// targets by these folders.
TEST(CorpusReplayFolders, EveryFolderHasItsEntryPoint)
{
    QSet<QString> names;
    for (const FuzzTarget& t : kFuzzTargets)
        names.insert(QString::fromLatin1(t.name));
    const QDir corpus(QStringLiteral(QUILLMAP_TESTS_DIR "/fuzz/corpus"));
    const QStringList folders = corpus.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& folder : folders)
        EXPECT_TRUE(names.contains(folder)) << folder.toStdString();
    EXPECT_EQ(folders.size(), names.size());
}

} // namespace
