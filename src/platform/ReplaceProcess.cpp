#include "platform/ReplaceProcess.h"

#include <QFile>
#include <string>
#include <vector>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace platform {

void ReplaceProcess(const QString& program, const QStringList& arguments)
{
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(program);
    std::vector<std::string> texts;
    texts.push_back(path.toStdString());
    for (const QString& argument : arguments)
        texts.push_back(argument.toLocal8Bit().toStdString());
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    ::execv(path.constData(), argv.data());
#else
    (void)program;
    (void)arguments;
#endif
}

} // namespace platform
