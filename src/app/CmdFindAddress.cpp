// quillmap find-address [--key TEXT] [--explain] FILE: the global address search on a saved status page,
// optionally with every decision it took. quillmap find-address --ipv6: the IPv6 address this machine
// would publish, with every address passed over and why.
#include "app/Commands.h"
#include "core/AddressSearch.h"
#include "netinfo/Ipv6Choice.h"
#include "platform/Codepage.h"
#include "settings/ConfigUnit.h"

#include <QCommandLineParser>
#include <QFile>
#include <iostream>

namespace app {

namespace {

// The choice with the settings' interface and suffix unless the options name others.
int RunIpv6(const QCommandLineParser& parser, const QCommandLineOption& interfaceOption,
            const QCommandLineOption& suffixOption, const QCommandLineOption& tableOption)
{
    settings::TConfig config;
    settings::LoadSettings(config, nullptr);
    const std::string iface = parser.isSet(interfaceOption)
                                  ? platform::Utf8ToCp932(parser.value(interfaceOption).toStdString())
                                  : config.Ipv6Interface;
    const std::string suffix =
        parser.isSet(suffixOption) ? parser.value(suffixOption).toStdString() : config.Ipv6Suffix;
    platform::Ipv6AddressTable table;
    if (parser.isSet(tableOption)) {
        QFile file(parser.value(tableOption));
        if (!file.open(QIODevice::ReadOnly)) {
            std::cerr << "quillmap find-address: cannot read " << file.fileName().toStdString() << ": "
                      << file.errorString().toStdString() << std::endl;
            return 2;
        }
        table = platform::RecordedIpv6AddressSource(file.readAll().toStdString()).ReadAddresses();
    } else {
        table = platform::ReadMachineIpv6Addresses();
    }
    // Interface names are the system's (UTF-8); the choice speaks code page 932. The published
    // address takes part as it does in the program's own choice.
    const netinfo::Ipv6Choice choice =
        netinfo::ChooseIpv6Address(table, platform::Cp932ToUtf8(iface), suffix, config.PrevIPv6);
    for (const std::string& line : netinfo::ExplainIpv6Choice(choice))
        std::cout << platform::Cp932ToUtf8(line) << '\n';
    std::cout.flush();
    return choice.address.empty() ? 1 : 0;
}

// Searches the page named on the command line, as the program's check does.
int RunPageSearch(const QCommandLineParser& parser, const QCommandLineOption& keyOption,
                  const QCommandLineOption& explainOption)
{
    QFile file(parser.positionalArguments().first());
    if (!file.open(QIODevice::ReadOnly)) {
        std::cerr << "quillmap find-address: cannot read " << file.fileName().toStdString() << ": "
                  << file.errorString().toStdString() << std::endl;
        return 2;
    }
    const QByteArray bytes = file.readAll();
    const std::string_view page(bytes.constData(), static_cast<size_t>(bytes.size()));
    // The key is typed in the terminal's UTF-8; the page is searched in code page 932.
    core::AddressSearchLog log;
    const std::string address =
        parser.isSet(keyOption)
            ? core::SearchAddressAfterKey(page, platform::Utf8ToCp932(parser.value(keyOption).toStdString()),
                                          &log)
            : core::SearchAddressAuto(page, &log);
    if (parser.isSet(explainOption)) {
        for (const std::string& line : core::ExplainAddressSearch(log))
            std::cout << platform::Cp932ToUtf8(line) << '\n';
        std::cout.flush();
        return address.empty() ? 1 : 0;
    }
    if (address.empty())
        return 1;
    std::cout << address << std::endl;
    return 0;
}

int Run(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints the global address found in FILE (the bytes of a "
                       "status page); prints nothing and exits 1 when none is found."));
    const QCommandLineOption keyOption(
        QStringLiteral("key"),
        QStringLiteral("Search after the first occurrence of TEXT instead of the "
                       "automatic search."),
        QStringLiteral("TEXT"));
    parser.addOption(keyOption);
    const QCommandLineOption explainOption(
        QStringLiteral("explain"),
        QStringLiteral("Print every candidate in page order with its character position and why it "
                       "was taken or passed over, then the result, instead of the address alone."));
    parser.addOption(explainOption);
    const QCommandLineOption ipv6Option(
        QStringLiteral("ipv6"),
        QStringLiteral("Instead of searching a page: print every IPv6 address of this machine with "
                       "why it was passed over, then the address that publishing over IPv6 would use "
                       "(the settings' [IPv6] Interface and Suffix unless given below)."));
    const QCommandLineOption interfaceOption(QStringLiteral("interface"),
                                             QStringLiteral("With --ipv6: only addresses of this interface."),
                                             QStringLiteral("NAME"));
    const QCommandLineOption suffixOption(
        QStringLiteral("suffix"),
        QStringLiteral("With --ipv6: the interface identifier of the home server (e.g. ::10)."),
        QStringLiteral("ID"));
    const QCommandLineOption tableOption(
        QStringLiteral("table"),
        QStringLiteral("With --ipv6: read the addresses from a recorded `ip -6 -o addr show` output."),
        QStringLiteral("FILE"));
    for (const QCommandLineOption* option : {&ipv6Option, &interfaceOption, &suffixOption, &tableOption})
        parser.addOption(*option);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The page, as saved from the router."));
    const bool parsed = parser.parse(QStringList{QStringLiteral("quillmap find-address")} + args);
    const bool ipv6 = parsed && parser.isSet(ipv6Option);
    const bool ipv6OnlyUsed =
        parser.isSet(interfaceOption) || parser.isSet(suffixOption) || parser.isSet(tableOption);
    if (!parsed || parser.positionalArguments().size() != (ipv6 ? 0 : 1) || (!ipv6 && ipv6OnlyUsed) ||
        (ipv6 && (parser.isSet(keyOption) || parser.isSet(explainOption)))) {
        std::cerr << "quillmap find-address: "
                  << (!parser.errorText().isEmpty() ? parser.errorText().toStdString()
                      : ipv6                        ? std::string("--ipv6 takes no FILE, --key or --explain")
                      : ipv6OnlyUsed ? std::string("--interface, --suffix and --table go with --ipv6")
                                     : std::string("exactly one FILE is needed"))
                  << "\nusage: quillmap find-address [--key TEXT] [--explain] FILE"
                  << "\n       quillmap find-address --ipv6 [--interface NAME] [--suffix ID] [--table FILE]"
                  << std::endl;
        return 2;
    }
    if (ipv6)
        return RunIpv6(parser, interfaceOption, suffixOption, tableOption);
    return RunPageSearch(parser, keyOption, explainOption);
}

const CommandRegistration registration({"find-address", "Find the global address in a saved status page.",
                                        &Run});

} // namespace

} // namespace app
