#include "support/TempFolder.h"

#include "platform/ProgramFolder.h"

#include <QFile>
#include <gtest/gtest.h>

namespace testsupport {

TempFolder::TempFolder(bool asProgramFolder)
{
    EXPECT_TRUE(m_dir.isValid());
    if (asProgramFolder)
        platform::InitProgramFolder(m_dir.path());
}

std::string ReadBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = f.readAll();
    return std::string(data.constData(), static_cast<size_t>(data.size()));
}

void WriteBytes(const QString& path, const std::string& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

} // namespace testsupport
