// quillmap fetch-status: reads the router's status page with the settings of the program's folder and
// writes its body markup (code page 932 bytes, as the address search sees it) to standard output.
// With --engine the page is loaded in the browser engine (its scripts run unless NoScript is set).
#include "app/Commands.h"
#include "core/StatusPage.h"
#include "core/StatusPageHttp.h"
#include "core/StatusPageProcess.h"
#include "engine/EngineSupport.h"
#include "platform/Codepage.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"

#if QUILLMAP_HAS_ENGINE
#include "engine/EngineStatusFetcher.h"
#endif

#include <QCommandLineParser>
#include <QFile>
#include <QSocketNotifier>
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>

namespace app {

namespace {

constexpr int kExitUsage = 2;

void Complain(const std::string& cp932Text, const std::string& detail)
{
    std::cerr << "quillmap fetch-status: " << platform::Cp932ToUtf8(cp932Text);
    if (!detail.empty())
        std::cerr << " (" << detail << ")";
    std::cerr << std::endl;
}

std::unique_ptr<core::StatusPageFetcher> MakeEngineFetcher()
{
#if QUILLMAP_HAS_ENGINE
    return std::make_unique<engine::EngineStatusFetcher>();
#else
    return nullptr;
#endif
}

// The child of the headless service: the request comes as one line on standard input, the answer
// goes to standard output as the outcome line followed by the body markup.
int RunForParent()
{
    std::string line;
    std::getline(std::cin, line);
    core::StatusRequest request;
    int limitMs = -1;
    if (!core::DecodeStatusRequest(QByteArray::fromStdString(line), request, limitMs)) {
        std::cerr << "quillmap fetch-status: no request on standard input" << std::endl;
        return kExitUsage;
    }
    core::FetchOutcome outcome;
    std::unique_ptr<core::StatusPageFetcher> fetcher;
    const std::string refusal = engine::EngineRefusal();
    if (refusal.empty())
        fetcher = MakeEngineFetcher();
    if (!fetcher) {
        outcome.error = QString::fromStdString(platform::Cp932ToUtf8(refusal));
        const QByteArray answer = core::EncodeFetchOutcome(outcome);
        std::fwrite(answer.constData(), 1, static_cast<size_t>(answer.size()), stdout);
        return 1;
    }
    core::StatusPage page(*fetcher);
    page.TimeLimitMs = limitMs;
    // The parent keeps our standard input open while it waits; when it closes, nobody waits any more.
    QFile input;
    bool orphaned = false;
    std::unique_ptr<QSocketNotifier> watch;
    if (input.open(stdin, QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        watch = std::make_unique<QSocketNotifier>(input.handle(), QSocketNotifier::Read);
        QObject::connect(watch.get(), &QSocketNotifier::activated, [&] {
            if (input.read(1).isEmpty()) {
                watch->setEnabled(false);
                orphaned = true;
                page.CancelNavigation();
            }
        });
    }
    page.Load(request);
    if (orphaned)
        return 1;
    outcome = page.LastOutcome();
    if (page.TimedOut)
        outcome.error = QStringLiteral("no complete answer within the time-out");
    const QByteArray answer = core::EncodeFetchOutcome(outcome);
    std::fwrite(answer.constData(), 1, static_cast<size_t>(answer.size()), stdout);
    std::fwrite(page.StatusHtml.data(), 1, page.StatusHtml.size(), stdout);
    std::fflush(stdout);
    return page.TimedOut ? 1 : 0;
}

int Run(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Fetches the router's status page and writes its body markup."));
    const QCommandLineOption timeoutOption(
        QStringLiteral("timeout"),
        QStringLiteral("Give up after SECONDS (default: the check's time-out "
                       "of the settings)."),
        QStringLiteral("SECONDS"));
    parser.addOption(timeoutOption);
    const QCommandLineOption engineOption(
        QStringLiteral("engine"),
        QStringLiteral("Load the page in the browser engine, running its scripts unless the settings "
                       "disable them (the settings' choice otherwise: [Status] Engine)."));
    parser.addOption(engineOption);
    const QCommandLineOption httpOption(QStringLiteral("http"),
                                        QStringLiteral("Load the page with the HTTP client."));
    parser.addOption(httpOption);
    QCommandLineOption forParentOption(QStringLiteral("request-stdin"));
    forParentOption.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(forParentOption);
    if (!parser.parse(QStringList{QStringLiteral("quillmap fetch-status")} + args) ||
        !parser.positionalArguments().isEmpty() || (parser.isSet(engineOption) && parser.isSet(httpOption))) {
        std::cerr << "quillmap fetch-status: "
                  << (parser.errorText().isEmpty()
                          ? std::string(parser.positionalArguments().isEmpty() ? "--engine or --http, not both"
                                                                               : "no arguments expected")
                          : parser.errorText().toStdString())
                  << "\nusage: quillmap fetch-status [--engine | --http] [--timeout SECONDS]" << std::endl;
        return kExitUsage;
    }
    if (parser.isSet(forParentOption))
        return RunForParent();

    settings::TConfig config;
    settings::LoadSettings(config, nullptr);

    // The same limit as a check's abort timer, unless the user gives one.
    int timeLimitMs = std::clamp(config.TimeOut, 1, 999) * 60 * 1000;
    if (parser.isSet(timeoutOption)) {
        bool ok = false;
        const double seconds = parser.value(timeoutOption).toDouble(&ok);
        if (!ok || seconds <= 0 || seconds > 86400) {
            std::cerr << "quillmap fetch-status: --timeout needs a number of seconds" << std::endl;
            return kExitUsage;
        }
        timeLimitMs = static_cast<int>(seconds * 1000);
    }

    core::HttpStatusFetcher http;
    std::unique_ptr<core::StatusPageFetcher> browser;
    const bool wantsEngine = parser.isSet(engineOption) || (config.StatusEngine != 0 && !parser.isSet(httpOption));
    if (wantsEngine) {
        const std::string refusal = engine::EngineRefusal();
        if (refusal.empty())
            browser = MakeEngineFetcher();
        else
            std::cerr << "quillmap fetch-status: " << platform::Cp932ToUtf8(refusal) << std::endl;
    }
    core::StatusPage page(browser ? *browser : static_cast<core::StatusPageFetcher&>(http));
    page.TimeLimitMs = timeLimitMs;
    if (!page.FetchStatusPage(config)) {
        Complain(text::Sjis(u8"ﾙｰﾀのｽﾃｰﾀｽﾍﾟｰｼﾞにｱｸｾｽできませんでした。"),
                 config.GatewayAuto != 0
                     ? "the router's address was not found among the adapters; see test-router"
                     : "no router address (GatewayIP) is set");
        return 1;
    }
    const core::FetchOutcome outcome = page.LastOutcome();
    if (page.StatusHtml.empty()) {
        std::string detail =
            page.TimedOut ? "no complete answer within the time-out" : outcome.error.toStdString();
        if (outcome.httpStatus != 0)
            detail +=
                (detail.empty() ? "" : ", ") + std::string("HTTP ") + std::to_string(outcome.httpStatus);
        Complain(text::Sjis(u8"ﾙｰﾀのｽﾃｰﾀｽﾍﾟｰｼﾞにｱｸｾｽできませんでした。"), detail);
        return 1;
    }
    if (outcome.httpStatus >= 400)
        std::cerr << "quillmap fetch-status: the router answered HTTP " << outcome.httpStatus
                  << "; its page follows" << std::endl;
    if (outcome.truncated)
        std::cerr << "quillmap fetch-status: the page was cut at 4 MiB" << std::endl;
    std::fwrite(page.StatusHtml.data(), 1, page.StatusHtml.size(), stdout);
    std::fflush(stdout);
    return 0;
}

const CommandRegistration registration({"fetch-status",
                                        "Fetch the router's status page and print its body markup.", &Run});

} // namespace

} // namespace app
