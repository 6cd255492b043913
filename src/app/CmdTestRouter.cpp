// quillmap test-router: the settings dialog's router address test, on the terminal.
#include "app/Commands.h"
#include "netinfo/AdaptersInfo.h"
#include "netinfo/RouterTest.h"
#include "platform/Codepage.h"

#include <QCommandLineParser>
#include <iostream>
#include <memory>

namespace app {

namespace {

std::string ForTerminal(const std::string& cp932)
{
    std::string utf8 = platform::Cp932ToUtf8(cp932);
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8)
        if (c != '\r')
            out += c;
    return out;
}

int Run(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints the adapter's and the router's address as the settings dialog's test shows them."));
    const QCommandLineOption treeOption(QStringLiteral("tree"),
                                        QStringLiteral("Also print the adapter tree."));
    const QCommandLineOption fromOption(
        QStringLiteral("from"),
        QStringLiteral("Read the adapters from a recorded folder (sys/class/net, "
                       "proc/net/route, ip-addr.txt) instead of this machine."),
        QStringLiteral("DIR"));
    parser.addOption(treeOption);
    parser.addOption(fromOption);
    if (!parser.parse(QStringList{QStringLiteral("quillmap test-router")} + args) ||
        !parser.positionalArguments().isEmpty()) {
        std::cerr << "quillmap test-router: "
                  << (parser.errorText().isEmpty() ? std::string("no arguments expected")
                                                   : parser.errorText().toStdString())
                  << "\nusage: quillmap test-router [--tree] [--from DIR]" << std::endl;
        return 2;
    }
    std::unique_ptr<netinfo::NetworkSource> source;
    if (parser.isSet(fromOption))
        source = std::make_unique<netinfo::FolderNetworkSource>(parser.value(fromOption).toStdString());
    else
        source = std::make_unique<netinfo::SystemNetworkSource>();
    netinfo::AdapterTree tree;
    const netinfo::TIpInfo info = netinfo::GetAdapterInfo(tree, *source);
    if (parser.isSet(treeOption))
        for (const netinfo::TreeRow& row : tree)
            std::cout << std::string(static_cast<size_t>(row.depth) * 2, ' ') << ForTerminal(row.text)
                      << '\n';
    std::cout << ForTerminal(netinfo::RouterTestText(info)) << std::endl;
    return info.ErrorMessage.empty() ? 0 : 1;
}

const CommandRegistration registration({"test-router",
                                        "Show the adapter and router address found automatically.", &Run});

} // namespace

} // namespace app
