// The global address searches on large pages: every one must take time in proportion to the page.
// The page is a status table repeated up to the size asked for (about a million dots at 10 MiB), with
// the global address at its very end, so every search walks the whole page.
//
// Baseline: "memchr", counting the dots of the same page with memchr, the least any search that
// looks at every dot can do. The summary prints, per size, the time per byte and the ratio to the
// baseline of the same size, both in CPU time; flat columns mean linear time.
#include "core/AddressSearch.h"
#include "text/Sjis.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

constexpr long kMiB = 1024 * 1024;

const std::string& Page(long size)
{
    static std::map<long, std::string> pages;
    std::string& page = pages[size];
    if (page.empty()) {
        const std::string row = "<td>192.168.0.1</td><td>" + text::Sjis(u8"表") + "</td>\n";
        const std::string tail = "<td>WAN</td><td>203.0.113.45</td>\n";
        page.reserve(static_cast<size_t>(size));
        while (page.size() + row.size() + tail.size() <= static_cast<size_t>(size))
            page += row;
        page += tail;
    }
    return page;
}

long Dots(const std::string& page)
{
    long n = 0;
    const char* p = page.data();
    const char* end = p + page.size();
    while ((p = static_cast<const char*>(std::memchr(p, '.', static_cast<size_t>(end - p))))) {
        ++n;
        ++p;
    }
    return n;
}

void Finish(benchmark::State& state, const std::string& page)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
    state.counters["dots"] = static_cast<double>(Dots(page));
}

void BM_memchr(benchmark::State& state)
{
    const std::string& page = Page(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(Dots(page));
    Finish(state, page);
}

void BM_SearchAddressAuto(benchmark::State& state)
{
    const std::string& page = Page(state.range(0));
    std::string found;
    for (auto _ : state)
        benchmark::DoNotOptimize(found = core::SearchAddressAuto(page));
    if (found != "203.0.113.45")
        state.SkipWithError("the address at the end was not found");
    Finish(state, page);
}

void BM_SearchAddressAfterKey(benchmark::State& state)
{
    const std::string& page = Page(state.range(0));
    std::string found;
    for (auto _ : state)
        benchmark::DoNotOptimize(found = core::SearchAddressAfterKey(page, "<td>WAN</td>"));
    if (found != "203.0.113.45")
        state.SkipWithError("the address after the key was not found");
    Finish(state, page);
}

void BM_FindNextAddress(benchmark::State& state)
{
    // The finder skips the LAN rows (a zero and a fourth number below 2) and stops at the end.
    const std::string& page = Page(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(core::FindNextAddress(page, 0, 0));
    Finish(state, page);
}

void Sizes(benchmark::internal::Benchmark* b)
{
    for (long mib : {1, 2, 4, 8, 10})
        b->Arg(mib * kMiB);
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_memchr)->Apply(Sizes);
BENCHMARK(BM_SearchAddressAuto)->Apply(Sizes);
BENCHMARK(BM_SearchAddressAfterKey)->Apply(Sizes);
BENCHMARK(BM_FindNextAddress)->Apply(Sizes);

// Keeps the CPU time per iteration of every run for the summary (the searches run on one thread, and
// the CPU time does not count the time other programs of a busy machine take).
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                seconds[run.benchmark_name()] =
                    run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nTime per byte and ratio to the baseline \"memchr\" of the same page:\n");
    std::printf("%-26s %9s %10s %12s %10s\n", "search", "MiB", "dots", "ns/byte", "x memchr");
    for (const char* search : {"BM_SearchAddressAuto", "BM_SearchAddressAfterKey", "BM_FindNextAddress"})
        for (long mib : {1, 2, 4, 8, 10}) {
            const std::string arg = "/" + std::to_string(mib * kMiB);
            const auto it = reporter.seconds.find(std::string(search) + arg);
            const auto base = reporter.seconds.find("BM_memchr" + arg);
            if (it == reporter.seconds.end() || base == reporter.seconds.end())
                continue;
            const std::string& page = Page(mib * kMiB);
            std::printf("%-26s %9ld %10ld %12.3f %10.1f\n", search, mib, Dots(page),
                        it->second * 1e9 / static_cast<double>(page.size()), it->second / base->second);
        }
    benchmark::Shutdown();
    return 0;
}
