// `quillmap ddns-update [--force] [--dry-run] [--address A]...`: the dynamic DNS update of the
// settings ([DDNS]) with the address a check finds (status page, then the second source), or the
// addresses given (an IPv4 one for A records, an IPv6 one for AAAA). Settings that cannot be used
// are refused with their reason. One line per host and record with the provider's answer (--force
// sends to a host at most once in 10 minutes); exit 0 when every record is up to date after it, 1 otherwise,
// 2 for wrong arguments. What the update learns (the addresses sent, a stop, a back-off) is kept in the
// settings file, as after a check.
#include "app/Commands.h"
#include "core/AddressSearch.h"
#include "core/CertificateTrust.h"
#include "core/SecondSource.h"
#include "core/StatusPage.h"
#include "core/StatusPageHttp.h"
#include "ddns/DdnsUpdater.h"
#include "ddns/PublishedIpv6.h"
#include "platform/Codepage.h"
#include "platform/TerminalUserInterface.h"
#include "settings/ConfigUnit.h"

#include <QCommandLineParser>
#include <QHostAddress>
#include <algorithm>
#include <iostream>

namespace app {

namespace {

constexpr const char* kUsage = "usage: quillmap ddns-update [--force] [--dry-run] [--address A]...";

int Usage(const std::string& problem)
{
    std::cerr << "quillmap ddns-update: " << problem << "\n" << kUsage << std::endl;
    return 2;
}

// The global address as a check finds it; empty (with the reason on standard error) when none.
std::string FindAddress(const settings::TConfig& config)
{
    const int limitMs = std::clamp(config.TimeOut, 1, 999) * 60 * 1000;
    core::HttpStatusFetcher fetcher;
    core::StatusPage page(fetcher);
    page.TimeLimitMs = limitMs;
    page.FetchStatusPage(config);
    std::string address =
        page.StatusHtml.empty() ? std::string() : core::FindGlobalAddress(page.StatusHtml, config);
    if (address.empty() && core::SecondSourceOf(config) != core::kSourceNone) {
        core::SecondSource second;
        address = second.Fetch(core::SecondSourceOf(config), config.EchoURL, std::min(limitMs, 20000));
    }
    if (address.empty())
        std::cerr << "quillmap ddns-update: no global address was found (see fetch-status and find-address)"
                  << std::endl;
    return address;
}

int Run(const QStringList& args)
{
    QCommandLineParser parser;
    const QCommandLineOption force(QStringLiteral("force"),
                                   QStringLiteral("Send even where the record holds the address already."));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"),
                                    QStringLiteral("Say what would be sent; send nothing."));
    const QCommandLineOption address(
        QStringLiteral("address"),
        QStringLiteral("Publish A instead of the address a check finds (IPv4 for A "
                       "records, IPv6 for AAAA; may be given twice)."),
        QStringLiteral("A"));
    parser.addOptions({force, dryRun, address});
    if (!parser.parse(QStringList{QStringLiteral("quillmap ddns-update")} + args))
        return Usage(parser.errorText().toStdString());
    if (!parser.positionalArguments().isEmpty())
        return Usage("no arguments expected besides the options");

    ddns::DdnsOptions options;
    options.Force = parser.isSet(force);
    options.DryRun = parser.isSet(dryRun);
    for (const QString& given : parser.values(address)) {
        QHostAddress parsed;
        if (!parsed.setAddress(given))
            return Usage("not an address: " + given.toStdString());
        std::string& slot =
            parsed.protocol() == QAbstractSocket::IPv4Protocol ? options.AddressA : options.AddressAAAA;
        if (!slot.empty())
            return Usage("one address per record type");
        slot = parsed.toString().toStdString();
    }

    settings::TConfig config;
    settings::LoadSettings(config, nullptr);
    if (config.DdnsUse == 0)
        std::cerr
            << "quillmap ddns-update: dynamic DNS is off in the settings ([DDNS] Use); updating all the same"
            << std::endl;
    // Settings that cannot be used (a password in clear over the Internet among them) are refused
    // before anything is looked up or sent.
    if (const std::string problem = ddns::DdnsSettingsProblem(config); !problem.empty()) {
        std::cerr << "quillmap ddns-update: " << platform::Cp932ToUtf8(problem) << std::endl;
        return 1;
    }
    const std::vector<ddns::RecordType> records = ddns::RecordsOf(config);
    const auto wants = [&records](ddns::RecordType type) {
        return std::find(records.begin(), records.end(), type) != records.end();
    };
    if (wants(ddns::RecordType::A) && options.AddressA.empty())
        options.AddressA = FindAddress(config);
    if (wants(ddns::RecordType::AAAA) && options.AddressAAAA.empty())
        options.AddressAAAA = ddns::PublishedIpv6Address(config);

    // A person at a terminal is asked about a certificate the system does not vouch for.
    platform::TerminalUserInterface ui;
    core::CertificateTrust trust([&config] { return &config; }, &ui);
    ddns::DdnsUpdater updater;
    updater.SetTrust(&trust, true);
    const ddns::DdnsResult result = updater.Run(config, options);
    for (const std::string& line : result.Lines)
        std::cout << platform::Cp932ToUtf8(line) << '\n';
    std::cout.flush();
    if (!options.DryRun) {
        try {
            settings::SaveSettings(config, settings::SaveScope::DdnsState);
        } catch (const settings::SettingsWriteError& e) {
            std::cerr << "quillmap ddns-update: " << platform::Cp932ToUtf8(e.what()) << std::endl;
        }
    }
    return result.UpToDate ? 0 : 1;
}

const CommandRegistration registration(
    {"ddns-update", "Bring the dynamic DNS host names of the settings to the current address.", &Run});

} // namespace

} // namespace app
