// The plain path's notice as a standard mail reader sees it: Python's email parser reads the stored
// message from aiosmtpd, decodes the body by the charset the header names, and must get the notice
// text back, half-width katakana included.
#include "MailServers.h"

#include "mail/NoticeMail.h"
#include "platform/Codepage.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"

#include <QProcess>
#include <gtest/gtest.h>

using testsupport::WriteBytes;

namespace {

// Prints the message's charset, its transfer encoding and its body decoded to UTF-8, one per line.
const char* const kReader = R"(import sys, email, email.policy
with open(sys.argv[1], 'rb') as f:
    m = email.message_from_binary_file(f, policy=email.policy.default)
out = sys.stdout.buffer
out.write((str(m.get_content_charset()) + '\n').encode())
out.write((str(m['Content-Transfer-Encoding']) + '\n').encode())
out.write(m.get_content().replace('\r\n', '\n').encode('utf-8'))
)";

// What a mail reader shows for the stored message: charset, transfer encoding, body text (UTF-8).
std::string ReadAsMailClient(const std::string& data)
{
    testsupport::TempFolder folder(false);
    const QString file = folder.file(QStringLiteral("notice.eml"));
    WriteBytes(file, data);
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromLatin1(kReader), file});
    if (!python.waitForFinished(20000)) {
        python.kill();
        python.waitForFinished(5000);
        return "<python did not finish>";
    }
    return python.readAllStandardOutput().toStdString() + python.readAllStandardError().toStdString();
}

} // namespace

TEST(NoticeCharset, APlainNoticeDecodesToItsTextInAMailReader)
{
    mailtest::SmtpServer smtp;
    ASSERT_TRUE(smtp.Start()) << smtp.Error().toStdString();
    settings::TConfig config;
    config.MailNotice = 1;
    config.SmtpServer = "127.0.0.1";
    config.SmtpPort = smtp.Port();
    config.SmtpUser = mailtest::kUser;
    config.MailAddress = "owner@example.com";
    core::OperationLog log;
    mail::TNoticeMailer mailer(config, &log);

    const std::string notice = "グローバルIPが変わりました(203.0.113.77)、ホームページを更新しました。";
    mailer.SendNoticeMail(
        mail::nkAddressChanged,
        text::Sjis(u8"グローバルIPが変わりました(203.0.113.77)、ホームページを更新しました。"));
    // Narrowed, the katakana are single bytes above 0x7F: they too must come back as they were.
    config.MailHanKana = 1;
    mailer.SendNoticeMail(mail::nkAddressChanged,
                          text::Sjis(u8"グローバルＩＰが変わりました\r\n203.0.113.77"));
    EXPECT_TRUE(log.Rows().empty());

    const auto mails = smtp.Messages();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(ReadAsMailClient(mails[0].data), "shift_jis\n8bit\n\n" + notice + "\n");
    EXPECT_EQ(ReadAsMailClient(mails[1].data), "shift_jis\n8bit\n\nｸﾞﾛｰﾊﾞﾙIPが変わりました\n203.0.113.77\n");
}
