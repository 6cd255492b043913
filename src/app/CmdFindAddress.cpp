// quillmap find-address [--key TEXT] [--explain] FILE: the global address search on a saved status page,
// optionally with every decision it took.
#include "app/Commands.h"
#include "core/AddressSearch.h"
#include "platform/Codepage.h"

#include <QCommandLineParser>
#include <QFile>
#include <iostream>

namespace app {

namespace {

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
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The page, as saved from the router."));
    if (!parser.parse(QStringList{QStringLiteral("quillmap find-address")} + args) ||
        parser.positionalArguments().size() != 1) {
        std::cerr << "quillmap find-address: "
                  << (parser.errorText().isEmpty() ? std::string("exactly one FILE is needed")
                                                   : parser.errorText().toStdString())
                  << "\nusage: quillmap find-address [--key TEXT] [--explain] FILE" << std::endl;
        return 2;
    }
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

const CommandRegistration registration({"find-address", "Find the global address in a saved status page.",
                                        &Run});

} // namespace

} // namespace app
