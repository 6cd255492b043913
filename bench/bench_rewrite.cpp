// The page rewriting on files, in one run:
//  - normal mode over a generated site of 50 MiB (2,000 pages, one link in 20 lines), page by page as
//    the upload run does it (read the page, make the stamped copy in memory, ready to be sent), against
//    GNU sed making one
//    case-insensitive substitution of "http://192.168.0.2/" in copies of the same files (sed -i, which
//    also reads every file and writes a new one); the copies are restored between rounds, outside the
//    measured time. sed runs under LC_ALL=C, as bytes: under a UTF-8 locale its case-insensitive
//    match on Shift_JIS pages is slower, which would flatter our ratio;
//  - for comparison, the same through the copy on disk that the `rewrite` tool makes (Upload.htm
//    written for every page);
//  - closing mode without the fast line-by-line search on one 2 MiB page with 5,000 links.
// Wall-clock time, since sed runs as a child process. Generated files live in a temporary folder
// under /tmp that is removed at the end. The summary prints the throughputs, their ratio (target: at
// least 2) and the closing-mode time (target: under 2 seconds).
#include "platform/ProgramFolder.h"
#include "rewrite/RewritePage.h"
#include "rewrite/UploadCopy.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kPages = 2000;
constexpr size_t kSiteBytes = 50u << 20;
constexpr size_t kClosingPageBytes = 2u << 20;
constexpr int kClosingLinks = 5000;

struct Fixture
{
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/quillmap-bench-rewrite-XXXXXX")};
    std::vector<std::string> pages; // the site
    QString originals;              // pristine copies, to restore the sed copies from
    QString sedCopies;
    std::string closingPage;
    size_t siteBytes = 0;
};

Fixture* g_fixture = nullptr;

void WriteFile(const QString& path, const std::string& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) ||
        f.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

// A page of CR LF lines, mostly plain text and markup with some Japanese, one link line in 20.
std::string MakePage(int number, size_t bytes, int linkEvery)
{
    const std::string japanese =
        text::Sjis(u8"<p>自宅サーバーの案内です。更新情報はこちらをご覧ください。</p>");
    std::string page = "<html><head><title>page " + std::to_string(number) + "</title></head><body>\r\n";
    for (int line = 1; page.size() < bytes; ++line) {
        if (line % linkEvery == 0)
            page += "<li><a href=\"http://192.168.0.2/sub/page" + std::to_string(line) + ".htm\">" +
                    text::Sjis(u8"ページ") + std::to_string(line) + "</a></li>\r\n";
        else if (line % 3 == 0)
            page += japanese + "\r\n";
        else
            page += "<p class=\"text\">Lorem ipsum dolor sit amet, consectetur adipiscing elit " +
                    std::to_string(line) + ".</p>\r\n";
    }
    return page;
}

void Setup()
{
    Fixture& f = *g_fixture;
    const QString site = f.dir.path() + QStringLiteral("/site");
    f.originals = f.dir.path() + QStringLiteral("/originals");
    f.sedCopies = f.dir.path() + QStringLiteral("/sed");
    for (const QString& d : {site, f.originals, f.sedCopies, f.dir.path() + QStringLiteral("/home")})
        QDir().mkpath(d);
    platform::InitProgramFolder(f.dir.path() + QStringLiteral("/home"));
    for (int i = 0; i < kPages; ++i) {
        const std::string page = MakePage(i, kSiteBytes / kPages, 20);
        const QString name = QStringLiteral("/page%1.htm").arg(i, 4, 10, QLatin1Char('0'));
        WriteFile(site + name, page);
        WriteFile(f.originals + name, page);
        WriteFile(f.sedCopies + name, page);
        f.pages.push_back(platform::PathToCp932(site + name));
        f.siteBytes += page.size();
    }
    const size_t perLink = kClosingPageBytes / kClosingLinks;
    std::string closing;
    for (int i = 0; i < kClosingLinks; ++i)
        closing += MakePage(i, perLink, 1 << 30).substr(0, perLink - 60) + "<a href=\"http://192.168.0.2/p" +
                   std::to_string(i) + ".htm\">link</a>\r\n";
    f.closingPage = platform::PathToCp932(f.dir.path() + QStringLiteral("/closing.htm"));
    WriteFile(platform::PathFromCp932(f.closingPage), closing);
}

rewrite::RewriteSettings Settings(bool fast)
{
    rewrite::RewriteSettings s;
    s.ReplaceLink = "192.168.0.2";
    s.ClosedFast = fast;
    return s;
}

const rewrite::RewriteState kState{"203.0.113.5", "", false};

void BM_NormalMode_Site(benchmark::State& state)
{
    settings::TConfig config;
    config.ReplaceLink = "192.168.0.2";
    config.ReplaceOnly = 1;
    const QDateTime now = QDateTime::currentDateTime();
    for (auto _ : state) {
        for (const std::string& page : g_fixture->pages) {
            const std::optional<std::string> copy = rewrite::MakeUploadCopy(page, false, config, kState, now);
            if (!copy)
                state.SkipWithError("a page was not rewritten");
            benchmark::DoNotOptimize(copy);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(g_fixture->siteBytes));
}

void BM_NormalMode_Site_OnDisk(benchmark::State& state)
{
    const rewrite::RewriteSettings settings = Settings(false);
    for (auto _ : state) {
        for (const std::string& page : g_fixture->pages) {
            if (rewrite::RewritePage(page, false, settings, kState).empty())
                state.SkipWithError("a page was not rewritten");
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(g_fixture->siteBytes));
}

void RestoreSedCopies()
{
    namespace fs = std::filesystem;
    fs::copy(g_fixture->originals.toStdString(), g_fixture->sedCopies.toStdString(),
             fs::copy_options::overwrite_existing);
}

void BM_Sed_Site(benchmark::State& state)
{
    const std::string command =
        "cd '" + g_fixture->sedCopies.toStdString() +
        "' && LC_ALL=C sed -i -e 's|http://192\\.168\\.0\\.2/|http://203.0.113.5/|Ig' *.htm";
    for (auto _ : state) {
        state.PauseTiming();
        RestoreSedCopies();
        state.ResumeTiming();
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("sed failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(g_fixture->siteBytes));
}

void BM_ClosingMode_2MiB_5000Links(benchmark::State& state)
{
    const rewrite::RewriteSettings settings = Settings(false);
    for (auto _ : state) {
        if (rewrite::RewritePage(g_fixture->closingPage, true, settings, kState).empty())
            state.SkipWithError("the page was not rewritten");
    }
}

// The console report, then the two figures.
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                m_seconds[run.run_name.function_name] = run.GetAdjustedRealTime() / 1e3; // milliseconds
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const double mib = static_cast<double>(g_fixture->siteBytes) / (1 << 20);
        const double ours = m_seconds["BM_NormalMode_Site"];
        const double sed = m_seconds["BM_Sed_Site"];
        const double onDisk = m_seconds["BM_NormalMode_Site_OnDisk"];
        const double closing = m_seconds["BM_ClosingMode_2MiB_5000Links"];
        std::printf(
            "\nnormal mode, %.1f MiB in %d pages: %.1f MiB/s; GNU sed (LC_ALL=C): %.1f MiB/s; ratio %.2f "
            "(target >= 2)\n",
            mib, kPages, mib / ours, mib / sed, sed / ours);
        std::printf("the same through the copy on disk (the rewrite tool): %.1f MiB/s; ratio to sed %.2f\n",
                    mib / onDisk, sed / onDisk);
        std::printf("closing mode, whole page, 2 MiB with %d links: %.3f s (target < 2 s)\n", kClosingLinks,
                    closing);
    }

private:
    std::map<std::string, double> m_seconds;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Fixture fixture;
    if (!fixture.dir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    g_fixture = &fixture;
    Setup();
    benchmark::RegisterBenchmark("BM_NormalMode_Site", BM_NormalMode_Site)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark("BM_NormalMode_Site_OnDisk", BM_NormalMode_Site_OnDisk)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark("BM_Sed_Site", BM_Sed_Site)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark("BM_ClosingMode_2MiB_5000Links", BM_ClosingMode_2MiB_5000Links)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    g_fixture = nullptr;
    return 0;
}
