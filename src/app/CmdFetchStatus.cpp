// quillmap fetch-status: reads the router's status page with the settings of the program's folder and
// writes its body markup (code page 932 bytes, as the address search sees it) to standard output.
#include "app/Commands.h"
#include "core/StatusPage.h"
#include "core/StatusPageHttp.h"
#include "platform/Codepage.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"

#include <QCommandLineParser>
#include <algorithm>
#include <cstdio>
#include <iostream>

namespace app {

namespace {

void Complain(const std::string& cp932Text, const std::string& detail)
{
    std::cerr << "quillmap fetch-status: " << platform::Cp932ToUtf8(cp932Text);
    if (!detail.empty())
        std::cerr << " (" << detail << ")";
    std::cerr << std::endl;
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
    if (!parser.parse(QStringList{QStringLiteral("quillmap fetch-status")} + args) ||
        !parser.positionalArguments().isEmpty()) {
        std::cerr << "quillmap fetch-status: "
                  << (parser.errorText().isEmpty() ? std::string("no arguments expected")
                                                   : parser.errorText().toStdString())
                  << "\nusage: quillmap fetch-status [--timeout SECONDS]" << std::endl;
        return 2;
    }
    settings::TConfig config;
    settings::LoadSettings(config, nullptr);

    // The same limit as a check's abort timer, unless the user gives one.
    int timeLimitMs = std::clamp(config.TimeOut, 1, 999) * 60 * 1000;
    if (parser.isSet(timeoutOption)) {
        bool ok = false;
        const double seconds = parser.value(timeoutOption).toDouble(&ok);
        if (!ok || seconds <= 0 || seconds > 86400) {
            std::cerr << "quillmap fetch-status: --timeout needs a number of seconds" << std::endl;
            return 2;
        }
        timeLimitMs = static_cast<int>(seconds * 1000);
    }

    core::HttpStatusFetcher fetcher;
    core::StatusPage page(fetcher);
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
