#include "MailServers.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace mailtest {

bool SmtpServer::Start()
{
    return m_dir.isValid() &&
           m_process.startPython(QStringLiteral("smtpserver.py"),
                                 {QStringLiteral("--folder"), m_dir.path() + QStringLiteral("/mail"),
                                  QStringLiteral("--user"), QString::fromLatin1(kUser),
                                  QStringLiteral("--password"), QString::fromLatin1(kPassword)});
}

std::vector<ReceivedMail> SmtpServer::Messages() const
{
    std::vector<ReceivedMail> mails;
    const QDir folder(m_dir.path() + QStringLiteral("/mail"));
    for (const QString& name : folder.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile meta(folder.filePath(name));
        QFile data(folder.filePath(name.left(name.size() - 5) + QStringLiteral(".eml")));
        if (!meta.open(QIODevice::ReadOnly) || !data.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject o = QJsonDocument::fromJson(meta.readAll()).object();
        ReceivedMail mail;
        mail.helo = o.value(QStringLiteral("helo")).toString().toStdString();
        mail.mailFrom = o.value(QStringLiteral("mail_from")).toString().toStdString();
        for (const QJsonValue& v : o.value(QStringLiteral("rcpt_tos")).toArray())
            mail.rcptTos.push_back(v.toString().toStdString());
        mail.login = o.value(QStringLiteral("login")).toString().toStdString();
        const QByteArray bytes = data.readAll();
        mail.data.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
        mails.push_back(std::move(mail));
    }
    return mails;
}

bool Pop3Server::Start()
{
    return m_dir.isValid() &&
           m_process.startPython(QStringLiteral("pop3server.py"),
                                 {QStringLiteral("--folder"), m_dir.path(), QStringLiteral("--user"),
                                  QString::fromLatin1(kUser), QStringLiteral("--password"),
                                  QString::fromLatin1(kPassword)},
                                 30000);
}

void UseSmtpServer(settings::TConfig& config, const SmtpServer& smtp)
{
    config.MailNotice = 1;
    config.SmtpServer = "127.0.0.1";
    config.SmtpPort = smtp.Port();
    config.SmtpUser = kUser;
    config.SmtpPass = kPassword;
}

std::vector<std::string> HeaderLines(const std::string& data)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    for (;;) {
        const size_t end = data.find("\r\n", pos);
        if (end == std::string::npos || end == pos)
            break;
        lines.push_back(data.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

std::string BodyOf(const std::string& data)
{
    const size_t blank = data.find("\r\n\r\n");
    return blank == std::string::npos ? std::string() : data.substr(blank + 4);
}

} // namespace mailtest
