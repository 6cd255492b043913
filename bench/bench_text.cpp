// Character walks over code page 932 text of 1 KiB to 4 MiB with a separator every 10 bytes.
// Each benchmark reports bytes per second; the summary at the end prints the time per byte at each
// size, how much it grows from the smallest to the largest text (about 1.0 means linear), and its
// ratio to the baseline, a plain byte count of the separator over the same text. The summary uses
// CPU time, which other work on the machine disturbs less than the wall clock.
#include "text/VB.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>
#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// "ab" あ "c" ソ "de,": ten bytes, with a trail byte that is a backslash and one separator.
const std::string kUnit = std::string("ab") + "\x82\xA0" + "c" + "\x83\x5C" + "de,";

std::string MakeText(size_t bytes)
{
    std::string text;
    text.reserve(bytes + kUnit.size());
    while (text.size() < bytes)
        text += kUnit;
    text.resize(bytes);
    // Never end on a cut character.
    size_t last = 0;
    for (size_t i = 0; i < text.size();
         i += static_cast<size_t>(text::CharBytes(static_cast<unsigned char>(text[i]))))
        last = i;
    if (last + 1 == text.size() && text::CharBytes(static_cast<unsigned char>(text[last])) == 2)
        text.back() = 'z';
    return text;
}

// The full-width form of the text, for the width mapping.
std::string MakeFullWidthText(size_t bytes)
{
    const std::string unit = text::StrConvMap(kUnit, text::kMapFullWidth);
    std::string t;
    while (t.size() + unit.size() <= bytes)
        t += unit;
    return t;
}

template <typename F> void RunOver(benchmark::State& state, const std::string& text, F&& f)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(f(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_Baseline_CountBytes(benchmark::State& state)
{
    RunOver(state, MakeText(static_cast<size_t>(state.range(0))),
            [](const std::string& t) { return std::count(t.begin(), t.end(), ','); });
}

void BM_CharLen(benchmark::State& state)
{
    RunOver(state, MakeText(static_cast<size_t>(state.range(0))),
            [](const std::string& t) { return text::CharLen(t); });
}

void BM_InStrFrom_ToTheEnd(benchmark::State& state)
{
    // The pattern is only at the very end: one walk to the start position, one search to the end.
    RunOver(state, MakeText(static_cast<size_t>(state.range(0))) + "@",
            [](const std::string& t) { return text::InStrFrom(3, t, "@"); });
}

void BM_CountText_Separator(benchmark::State& state)
{
    RunOver(state, MakeText(static_cast<size_t>(state.range(0))),
            [](const std::string& t) { return text::CountText(t, ","); });
}

void BM_CountText_LongPattern(benchmark::State& state)
{
    // Longer than the short-pattern search; it occurs every 10 bytes, overlapping itself.
    const std::string pattern = kUnit + kUnit.substr(0, 9);
    RunOver(state, MakeText(static_cast<size_t>(state.range(0))),
            [&pattern](const std::string& t) { return text::CountText(t, pattern); });
}

void BM_SplitText(benchmark::State& state)
{
    RunOver(state, MakeText(static_cast<size_t>(state.range(0))),
            [](const std::string& t) { return text::SplitText(t, ",", false).size(); });
}

void BM_SplitText_QuoteMode(benchmark::State& state)
{
    RunOver(state, MakeText(static_cast<size_t>(state.range(0))),
            [](const std::string& t) { return text::SplitText(t, ",", true).size(); });
}

void BM_ReplaceAllText(benchmark::State& state)
{
    RunOver(state, MakeText(static_cast<size_t>(state.range(0))),
            [](const std::string& t) { return text::ReplaceAllText(t, "AB", "xyz").size(); });
}

void BM_StrConvMap_HalfWidth(benchmark::State& state)
{
    RunOver(state, MakeFullWidthText(static_cast<size_t>(state.range(0))),
            [](const std::string& t) { return text::StrConvMap(t, text::kMapHalfWidth).size(); });
}

constexpr int64_t kSmallest = 1 << 10;
constexpr int64_t kLargest = 4 << 20;

void RegisterAll()
{
    const std::pair<const char*, void (*)(benchmark::State&)> benchmarks[] = {
        {"BM_Baseline_CountBytes", BM_Baseline_CountBytes},
        {"BM_CharLen", BM_CharLen},
        {"BM_InStrFrom_ToTheEnd", BM_InStrFrom_ToTheEnd},
        {"BM_CountText_Separator", BM_CountText_Separator},
        {"BM_CountText_LongPattern", BM_CountText_LongPattern},
        {"BM_SplitText", BM_SplitText},
        {"BM_SplitText_QuoteMode", BM_SplitText_QuoteMode},
        {"BM_ReplaceAllText", BM_ReplaceAllText},
        {"BM_StrConvMap_HalfWidth", BM_StrConvMap_HalfWidth},
    };
    for (const auto& [name, fn] : benchmarks)
        benchmark::RegisterBenchmark(name, fn)->RangeMultiplier(4)->Range(kSmallest, kLargest);
}

// Prints the usual console report, then the per-byte summary.
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            const double bytes = std::stod(run.run_name.args);
            const double nsPerIteration = run.GetAdjustedCPUTime() * NanosecondsPer(run.time_unit);
            m_nsPerByte[run.run_name.function_name][static_cast<int64_t>(bytes)] = nsPerIteration / bytes;
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const auto baseline = m_nsPerByte.find("BM_Baseline_CountBytes");
        std::printf("\n%-28s %10s %10s %10s   %s\n", "benchmark", "ns/B 1K", "ns/B 4M", "4M/1K",
                    "ratio to baseline at 1K .. 4M");
        for (const auto& [name, bySize] : m_nsPerByte) {
            if (bySize.empty())
                continue;
            const double first = bySize.begin()->second;
            const double last = bySize.rbegin()->second;
            std::printf("%-28s %10.3f %10.3f %10.2f  ", name.c_str(), first, last, last / first);
            if (baseline != m_nsPerByte.end())
                for (const auto& [size, nsPerByte] : bySize)
                    if (const auto b = baseline->second.find(size); b != baseline->second.end())
                        std::printf(" %7.1f", nsPerByte / b->second);
            std::printf("\n");
        }
    }

private:
    static double NanosecondsPer(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kSecond:
            return 1e9;
        case benchmark::kMillisecond:
            return 1e6;
        case benchmark::kMicrosecond:
            return 1e3;
        default:
            return 1.0;
        }
    }

    std::map<std::string, std::map<int64_t, double>> m_nsPerByte;
};

} // namespace

int main(int argc, char** argv)
{
#ifdef __GLIBC__
    // The split of a 4 MiB text returns 420,000 fields. By default glibc hands a block that large
    // back to the system when it is freed and maps it afresh in the next iteration, so every
    // iteration pays the page faults of a new 13 MB vector, which swamps the walk being measured
    // (linear too, but about eight times slower per byte above 64 KiB). Keep freed memory instead.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
