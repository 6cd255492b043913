#pragma once
// A temporary folder for one test, used as the program's folder; removed at the end of the test.

#include <QString>
#include <QTemporaryDir>
#include <string>

namespace testsupport {

class TempFolder
{
public:
    // Also makes the folder the program's folder unless asked not to.
    explicit TempFolder(bool asProgramFolder = true);
    QString path() const { return m_dir.path(); }
    // A file inside the folder.
    QString file(const QString& name) const { return m_dir.path() + u'/' + name; }
    std::string filePath(const QString& name) const { return file(name).toStdString(); }

private:
    QTemporaryDir m_dir;
};

// Whole-file helpers for byte-exact checks.
std::string ReadBytes(const QString& path);
void WriteBytes(const QString& path, const std::string& bytes);

} // namespace testsupport
