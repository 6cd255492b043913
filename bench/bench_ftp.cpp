// Upload throughput of TNMFTP::StoreFile against `curl -T` (the baseline), both to the same
// pyftpdlib server on 127.0.0.1 in one run, and the peak resident size of an upload of 20 MiB
// against one of 200 MiB (it must not grow with the file).
//
//   bench_ftp [--size-mib N] [--rounds N] [--tls] [google benchmark options]
//
// With --tls both go over explicit FTPS (AUTH TLS, PROT P), with a certificate made by openssl for the
// run: StoreFile with Security tlsExplicit against `curl --ssl-reqd -T` (target: at least 0.8). The
// server is then vsftpd (tests/servers/vsftpdserver.py, anonymous upload; run as root): curl starts
// the TLS handshake of a passive data connection before it sends STOR, which pyftpdlib's TLS handler
// answers with a reset, so the two clients could not be compared on pyftpdlib.
//
// Runs N rounds (default 5) of one upload each way, taking turns, and prints the median times,
// the ratio of our throughput to curl's (target: at least 0.9) and the two peak sizes. The test
// files live in /tmp and are deleted at the end.
//
// What each timed region holds:
//  - StoreFile: inside this process, from making the client to the end of its QUIT: connect, log-on,
//    TYPE I, PASV, STOR with the whole data transfer and the final reply, QUIT.
//  - curl -T: the same FTP steps (curl uses EPSV rather than PASV), plus starting the curl process
//    (fork, exec, loading its libraries) and its exit. That start is timed on its own as well
//    (`curl --version`, same rounds) and printed, with the ratio that leaves it out.
// Odd rounds run StoreFile first, even rounds curl first, so that neither always meets a server and
// a page cache just warmed (or just disturbed) by the other.
#include "net/NMFtp.h"
#include "net/Tls.h"
#include "platform/WaitLoop.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kUser = "bench";
constexpr const char* kPassword = "bench";

struct Fixture
{
    QProcess server;
    quint16 port = 0;
    QTemporaryDir root{QDir::tempPath() + QStringLiteral("/quillmap-bench-root-XXXXXX")};
    QTemporaryDir files{QDir::tempPath() + QStringLiteral("/quillmap-bench-files-XXXXXX")};
    std::vector<double> storeSeconds;
    std::vector<double> curlSeconds;
    std::vector<double> curlStartSeconds;
    int incomplete = 0;
    // FTPS: the server's certificate (made for the run) and its fingerprint.
    bool tls = false;
    QString certificate;
    QString key;
    std::string fingerprint;
    // Where the server stores the uploads, and the folder they go to on the server.
    QString stored;
    QString remoteFolder;
    std::string user = kUser;
    std::string password = kPassword;
};

// The run's own certificate is the one trusted (curl is told the same with --cacert).
class RunCertificate final : public net::TlsTrust
{
public:
    explicit RunCertificate(std::string fingerprint) : m_fingerprint(std::move(fingerprint)) {}
    bool IsTrusted(const std::string&, quint16, const std::string& fingerprint) const override
    {
        return fingerprint == m_fingerprint;
    }
    bool ConfirmTrust(const net::CertificateInfo&) override { return false; }

private:
    std::string m_fingerprint;
};

bool MakeCertificate(Fixture& f)
{
    f.certificate = f.files.filePath(QStringLiteral("server.pem"));
    f.key = f.files.filePath(QStringLiteral("server.key"));
    QProcess openssl;
    openssl.start(
        QStringLiteral("openssl"),
        {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
         QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
         QStringLiteral("-keyout"), f.key, QStringLiteral("-out"), f.certificate, QStringLiteral("-days"),
         QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
         QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1")});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        return false;
    const QList<QSslCertificate> made = QSslCertificate::fromPath(f.certificate);
    if (made.isEmpty())
        return false;
    f.fingerprint = net::CertificateFingerprint(made.first());
    return true;
}

Fixture* g_fixture = nullptr;

bool StartServer(Fixture& f)
{
    f.server.setProgram(QStringLiteral("/usr/bin/python3"));
    f.server.setArguments(
        {QStringLiteral("-u"), QStringLiteral(QUILLMAP_SOURCE_DIR "/tests/servers/ftpserver.py"),
         QStringLiteral("--root"), f.root.path(), QStringLiteral("--user"), QString::fromLatin1(kUser),
         QStringLiteral("--password"), QString::fromLatin1(kPassword)});
    f.stored = f.root.path();
    if (f.tls) {
        f.server.setArguments({QStringLiteral("-u"),
                               QStringLiteral(QUILLMAP_SOURCE_DIR "/tests/servers/vsftpdserver.py"),
                               QStringLiteral("--folder"), f.root.path(), QStringLiteral("--cert"),
                               f.certificate, QStringLiteral("--key"), f.key});
        f.stored = f.root.filePath(QStringLiteral("root/upload"));
        f.remoteFolder = QStringLiteral("upload/");
        f.user = "anonymous";
        f.password = "bench@";
    }
    f.server.start();
    QByteArray output;
    platform::WaitUntil(
        [&] {
            output += f.server.readAllStandardOutput();
            const qsizetype at = output.indexOf("PORT ");
            const qsizetype end = output.indexOf('\n', at);
            if (at < 0 || end < 0)
                return false;
            f.port = static_cast<quint16>(output.mid(at + 5, end - at - 5).trimmed().toUInt());
            return true;
        },
        15000, [&] { return f.server.state() == QProcess::NotRunning; });
    return f.port != 0;
}

QString MakeFile(Fixture& f, int mib)
{
    const QString path = f.files.filePath(QStringLiteral("upload-%1MiB.bin").arg(mib));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    QByteArray block(1 << 20, Qt::Uninitialized);
    quint32 state = 2463534242u;
    for (int m = 0; m < mib; ++m) {
        for (qsizetype i = 0; i < block.size(); ++i) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            block[i] = static_cast<char>(state);
        }
        file.write(block);
    }
    return path;
}

// A size line of /proc/self/status in KiB (Linux): VmHWM is the peak resident size since the last
// reset, VmRSS the current one.
long StatusKiB(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(key);
    while (std::getline(status, line))
        if (line.compare(0, length, key) == 0)
            return std::stol(line.substr(length));
    return -1;
}

bool ResetPeakRss()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear);
}

// A time only counts for a file that arrived whole; the copy on the server is then removed.
void CheckArrived(Fixture& f, const QString& local, const QString& remote)
{
    const QString stored = f.stored + u'/' + remote;
    const qint64 size = QFileInfo(stored).size();
    if (size != QFileInfo(local).size()) {
        std::fprintf(stderr, "%s arrived with %lld of %lld bytes\n", qPrintable(remote),
                     static_cast<long long>(size), static_cast<long long>(QFileInfo(local).size()));
        ++f.incomplete;
    }
    QFile::remove(stored);
}

// Log-on to log-off, as curl's time is.
double StoreOnce(Fixture& f, const QString& local, const char* remote)
{
    QElapsedTimer timer;
    timer.start();
    net::TNMFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = f.port;
    ftp.UserID = f.user;
    ftp.Password = f.password;
    ftp.Passive = true;
    ftp.TimeOut = 60000;
    RunCertificate trust(f.fingerprint);
    if (f.tls) {
        ftp.Security = net::tlsExplicit;
        ftp.Trust = &trust;
    }
    ftp.Connect();
    ftp.SetTransferType(net::TNMFTP::ttBinary);
    ftp.StoreFile(local.toStdString(), f.remoteFolder.toStdString() + remote);
    ftp.Disconnect();
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    CheckArrived(f, local, QString::fromLatin1(remote));
    return seconds;
}

double CurlOnce(Fixture& f, const QString& local)
{
    QProcess curl;
    const QString url = QStringLiteral("ftp://127.0.0.1:%1/%2curl.bin").arg(f.port).arg(f.remoteFolder);
    QElapsedTimer timer;
    timer.start();
    QStringList args{
        QStringLiteral("-sS"),
        QStringLiteral("--user"),
        QStringLiteral("%1:%2").arg(QString::fromStdString(f.user), QString::fromStdString(f.password)),
        QStringLiteral("-T"),
        local,
        url};
    if (f.tls)
        args << QStringLiteral("--ssl-reqd") << QStringLiteral("--cacert") << f.certificate;
    curl.start(QStringLiteral("curl"), args);
    curl.waitForFinished(600000);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (curl.exitStatus() != QProcess::NormalExit || curl.exitCode() != 0)
        std::fprintf(stderr, "curl failed: %s\n", curl.readAllStandardError().constData());
    CheckArrived(f, local, QStringLiteral("curl.bin"));
    return seconds;
}

// Starting and ending a curl process that transfers nothing.
double CurlStartOnce()
{
    QProcess curl;
    QElapsedTimer timer;
    timer.start();
    curl.start(QStringLiteral("curl"), {QStringLiteral("--version")});
    curl.waitForFinished(60000);
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    int sizeMiB = 200;
    int rounds = 5;
    bool tls = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tls") == 0) {
            tls = true;
            std::memmove(argv + i, argv + i + 1, sizeof(char*) * static_cast<size_t>(argc - i));
            --argc;
            break;
        }
    }
    for (int i = 1; i + 1 < argc;) {
        int* target = std::strcmp(argv[i], "--size-mib") == 0 ? &sizeMiB
                      : std::strcmp(argv[i], "--rounds") == 0 ? &rounds
                                                              : nullptr;
        if (!target) {
            ++i;
            continue;
        }
        *target = std::max(1, std::atoi(argv[i + 1]));
        std::memmove(argv + i, argv + i + 2, sizeof(char*) * static_cast<size_t>(argc - i - 1));
        argc -= 2;
    }
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    Fixture fixture;
    g_fixture = &fixture;
    fixture.tls = tls;
    if (tls && !MakeCertificate(fixture)) {
        std::fprintf(stderr, "openssl could not make the server's certificate\n");
        return 1;
    }
    if (!StartServer(fixture)) {
        std::fprintf(stderr, "pyftpdlib did not start: %s\n",
                     fixture.server.readAllStandardError().constData());
        return 1;
    }
    const QString big = MakeFile(fixture, sizeMiB);
    const QString small = MakeFile(fixture, std::max(1, sizeMiB / 10));
    const double bytes = static_cast<double>(sizeMiB) * 1024 * 1024;

    // Peak resident size: reset, upload, read; the small file first.
    if (!ResetPeakRss())
        std::fprintf(stderr, "cannot reset the peak resident size; the peaks below include the set-up\n");
    const long startSmall = StatusKiB("VmRSS:");
    StoreOnce(fixture, small, "rss-small.bin");
    const long peakSmall = StatusKiB("VmHWM:");
    ResetPeakRss();
    const long startBig = StatusKiB("VmRSS:");
    StoreOnce(fixture, big, "rss-big.bin");
    const long peakBig = StatusKiB("VmHWM:");

    // The two uploads take turns, so that a change in the machine's load during the run falls on
    // both alike, and change places every round.
    const auto label = QStringLiteral("/%1MiB").arg(sizeMiB).toStdString();
    const auto registerStore = [&](const std::string& suffix) {
        benchmark::RegisterBenchmark(("StoreFile" + suffix).c_str(),
                                     [&](benchmark::State& state) {
                                         for (auto _ : state) {
                                             const double s = StoreOnce(fixture, big, "store.bin");
                                             fixture.storeSeconds.push_back(s);
                                             state.SetIterationTime(s);
                                         }
                                         state.SetBytesProcessed(static_cast<int64_t>(bytes));
                                     })
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    };
    const auto registerCurl = [&](const std::string& suffix) {
        benchmark::RegisterBenchmark(("CurlT" + suffix).c_str(),
                                     [&](benchmark::State& state) {
                                         for (auto _ : state) {
                                             fixture.curlStartSeconds.push_back(CurlStartOnce());
                                             const double s = CurlOnce(fixture, big);
                                             fixture.curlSeconds.push_back(s);
                                             state.SetIterationTime(s);
                                         }
                                         state.SetBytesProcessed(static_cast<int64_t>(bytes));
                                     })
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    };
    for (int round = 1; round <= rounds; ++round) {
        const std::string suffix = label + "/round:" + std::to_string(round);
        if (round % 2 == 1) {
            registerStore(suffix);
            registerCurl(suffix);
        } else {
            registerCurl(suffix);
            registerStore(suffix);
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double store = Median(fixture.storeSeconds);
    const double curl = Median(fixture.curlSeconds);
    const double curlStart = Median(fixture.curlStartSeconds);
    std::printf("\n%s", tls ? "FTPS (AUTH TLS, PROT P), curl with --ssl-reqd:" : "plain FTP:");
    std::printf(
        "\nupload of %d MiB, median of %zu rounds (odd rounds StoreFile first, even rounds curl first):\n"
        "  StoreFile %.3f s (%.1f MiB/s): connect, log-on, TYPE I, PASV, STOR, final reply, QUIT\n"
        "  curl -T   %.3f s (%.1f MiB/s): the same FTP steps plus curl's process start and exit\n"
        "  curl's process start and exit alone (curl --version): %.3f s\n",
        sizeMiB, fixture.storeSeconds.size(), store, sizeMiB / store, curl, sizeMiB / curl, curlStart);
    std::printf("throughput ratio StoreFile / curl -T: %.3f (target >= %s); with curl's process start taken "
                "out: %.3f\n",
                store > 0 ? curl / store : 0.0, tls ? "0.8" : "0.9",
                store > 0 ? (curl - curlStart) / store : 0.0);
    std::printf("peak resident size: %d MiB upload %ld KiB (%ld KiB before), %d MiB upload %ld KiB (%ld KiB "
                "before)\n",
                std::max(1, sizeMiB / 10), peakSmall, startSmall, sizeMiB, peakBig, startBig);

    if (fixture.incomplete)
        std::printf("%d upload(s) did not arrive whole: the figures above are not valid\n",
                    fixture.incomplete);

    fixture.server.terminate();
    fixture.server.waitForFinished(5000);
    return fixture.incomplete ? 1 : 0;
}
