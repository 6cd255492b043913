// The FTP client against a real server: pyftpdlib on 127.0.0.1, started by the test. Passive and
// active uploads in binary and text mode, folders, Japanese names, a refused log-on and an abort
// mid-upload.
#include "net/NMFtp.h"
#include "net/NetErrors.h"
#include "support/ServerProcess.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <random>

using net::TNMFTP;

namespace {

constexpr int kTestTimeOutMs = 15000;

class FtpServerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(m_root.path()));
        ASSERT_TRUE(m_server.startPython(QStringLiteral("ftpserver.py"),
                                         {QStringLiteral("--root"), m_root.path(), QStringLiteral("--user"),
                                          QStringLiteral("quill"), QStringLiteral("--password"),
                                          QStringLiteral("secret")}))
            << m_server.error().toStdString();
        m_ftp.Host = "127.0.0.1";
        m_ftp.Port = m_server.port();
        m_ftp.UserID = "quill";
        m_ftp.Password = "secret";
        m_ftp.TimeOut = kTestTimeOutMs;
    }

    std::string MakeFile(const QString& name, const std::string& bytes)
    {
        testsupport::WriteBytes(m_local.file(name), bytes);
        return m_local.filePath(name);
    }

    static std::string RandomBytes(size_t size)
    {
        std::mt19937 random(20240607);
        std::string bytes(size, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() & 0xFF);
        return bytes;
    }

    std::string OnServer(const QString& path) { return testsupport::ReadBytes(m_root.file(path)); }

    testsupport::TempFolder m_root{false};
    testsupport::TempFolder m_local{false};
    testsupport::ServerProcess m_server;
    TNMFTP m_ftp;
};

} // namespace

TEST_F(FtpServerTest, PassiveBinaryUploadArrivesByteForByte)
{
    const std::string bytes = RandomBytes(300001);
    const std::string local = MakeFile(QStringLiteral("photo.jpg"), bytes);
    int connects = 0;
    std::vector<int> successes;
    std::vector<qint64> progress;
    QObject::connect(&m_ftp, &TNMFTP::OnConnect, [&] { ++connects; });
    QObject::connect(&m_ftp, &TNMFTP::OnSuccess, [&](int kind) { successes.push_back(kind); });
    QObject::connect(&m_ftp, &TNMFTP::OnPacketSent, [&] { progress.push_back(m_ftp.BytesDone); });
    m_ftp.Passive = true;
    m_ftp.Connect();
    EXPECT_EQ(connects, 1);
    m_ftp.SetTransferType(TNMFTP::ttBinary);
    m_ftp.StoreFile(local, "photo.jpg");
    EXPECT_EQ(m_ftp.ReplyCode, 226);
    m_ftp.Disconnect();
    EXPECT_EQ(OnServer(QStringLiteral("photo.jpg")), bytes);
    EXPECT_EQ(successes, (std::vector<int>{TNMFTP::cmdMisc, TNMFTP::cmdUpload}));
    EXPECT_EQ(progress, (std::vector<qint64>{65536, 131072, 196608, 262144, 300001}));
    EXPECT_EQ(m_ftp.BytesTotal, 300001);
}

TEST_F(FtpServerTest, ActiveBinaryUploadArrivesByteForByte)
{
    const std::string bytes = RandomBytes(200000) + "\r\n\r\r\n\n";
    const std::string local = MakeFile(QStringLiteral("data.bin"), bytes);
    m_ftp.Passive = false;
    m_ftp.Connect();
    m_ftp.SetTransferType(TNMFTP::ttBinary);
    m_ftp.StoreFile(local, "data.bin");
    // A second upload on the same connection gets a fresh data connection.
    m_ftp.StoreFile(local, "copy.bin");
    m_ftp.Disconnect();
    EXPECT_EQ(OnServer(QStringLiteral("data.bin")), bytes);
    EXPECT_EQ(OnServer(QStringLiteral("copy.bin")), bytes);
}

TEST_F(FtpServerTest, TextModeLeavesTheLineEndsToTheServer)
{
    // The server stores text with its own line ends: CR LF becomes LF here.
    const std::string page = "<html>\r\n<body>\r\n\x82\xa0\r\nlone\nend";
    const std::string local = MakeFile(QStringLiteral("index.htm"), page);
    for (const bool passive : {true, false}) {
        m_ftp.Passive = passive;
        m_ftp.Connect();
        m_ftp.SetTransferType(TNMFTP::ttAscii);
        m_ftp.StoreFile(local, passive ? "passive.htm" : "active.htm");
        m_ftp.Disconnect();
    }
    const std::string expected = "<html>\n<body>\n\x82\xa0\nlone\nend";
    EXPECT_EQ(OnServer(QStringLiteral("passive.htm")), expected);
    EXPECT_EQ(OnServer(QStringLiteral("active.htm")), expected);
}

TEST_F(FtpServerTest, AMissingFolderIsMadeAndEntered)
{
    const std::string local = MakeFile(QStringLiteral("a.htm"), "hello\r\n");
    m_ftp.Passive = true;
    m_ftp.Connect();
    EXPECT_THROW(m_ftp.ChangeDirectory("sub"), net::FTPException);
    EXPECT_EQ(m_ftp.ReplyCode, 550);
    m_ftp.MakeDirectory("sub");
    m_ftp.ChangeDirectory("sub");
    m_ftp.SetTransferType(TNMFTP::ttBinary);
    m_ftp.StoreFile(local, "");
    m_ftp.ChangeDirectory("../");
    m_ftp.Disconnect();
    EXPECT_EQ(OnServer(QStringLiteral("sub/a.htm")), "hello\r\n");
}

TEST_F(FtpServerTest, AWrongPasswordIsARefusedLogOn)
{
    int connects = 0;
    int failures = 0;
    QObject::connect(&m_ftp, &TNMFTP::OnConnect, [&] { ++connects; });
    QObject::connect(&m_ftp, &TNMFTP::OnConnectionFailed, [&] { ++failures; });
    m_ftp.Password = "wrong";
    try {
        m_ftp.Connect();
        ADD_FAILURE() << "the log-on was accepted";
    } catch (const net::FTPException& e) {
        EXPECT_EQ(std::string(e.what()).substr(0, 4), "530 ");
    }
    EXPECT_EQ(connects, 0);
    EXPECT_EQ(failures, 1);
    EXPECT_FALSE(m_ftp.Connected());
    // The component can log on again with the right password.
    m_ftp.Password = "secret";
    m_ftp.Connect();
    EXPECT_TRUE(m_ftp.Connected());
    m_ftp.Disconnect();
}

TEST_F(FtpServerTest, AbortDuringALongUploadEndsIt)
{
    const std::string local = MakeFile(QStringLiteral("big.bin"), RandomBytes(16 << 20));
    int packets = 0;
    QObject::connect(&m_ftp, &TNMFTP::OnPacketSent, [&] {
        if (++packets == 3)
            m_ftp.Abort();
    });
    std::vector<int> failures;
    QObject::connect(&m_ftp, &TNMFTP::OnFailure, [&](bool&, int kind) { failures.push_back(kind); });
    m_ftp.Passive = true;
    m_ftp.Connect();
    m_ftp.SetTransferType(TNMFTP::ttBinary);
    try {
        m_ftp.StoreFile(local, "big.bin");
        ADD_FAILURE() << "the upload was not ended";
    } catch (const net::EAbortError& e) {
        EXPECT_STREQ(e.what(), "Socket send aborted");
    }
    EXPECT_EQ(packets, 3);
    EXPECT_EQ(failures, (std::vector<int>{TNMFTP::cmdUpload}));
    try {
        m_ftp.Disconnect();
    } catch (const net::FTPException&) {
        // The server's report of the broken transfer may come instead of the reply to QUIT.
    }
    EXPECT_FALSE(m_ftp.Connected());
    EXPECT_LT(QFileInfo(m_root.file(QStringLiteral("big.bin"))).size(), qint64(16) << 20);
}

TEST_F(FtpServerTest, JapaneseNamesArriveAsTheServerStoresThem)
{
    // The server lists UTF8 and keeps names in UTF-8 on its disk: that is where links must find them.
    const std::string local = MakeFile(QStringLiteral("page.htm"), "<p>\x82\xa0</p>\r\n");
    m_ftp.Passive = true;
    m_ftp.Connect();
    m_ftp.MakeDirectory(text::Sjis(u8"資料"));
    m_ftp.ChangeDirectory(text::Sjis(u8"資料"));
    m_ftp.SetTransferType(TNMFTP::ttBinary);
    m_ftp.StoreFile(local, text::Sjis(u8"表示ﾃｽﾄ.htm"));
    EXPECT_TRUE(m_ftp.Utf8Names());
    m_ftp.Disconnect();
    EXPECT_EQ(OnServer(QStringLiteral("資料/表示ﾃｽﾄ.htm")), "<p>\x82\xa0</p>\r\n");
    EXPECT_EQ(QDir(m_root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("資料")});
}
