// `quillmap rewrite PAGE --address A [--host-name H] [--closing] [--all]`: shows what the upload run
// would publish for PAGE with the settings of the program's folder. The copy is made exactly as the
// upload run makes it (rewritten, robots tags when they are on, stamped, the closing notice in closing
// mode), written to standard output byte for byte, and deleted again. Exit status: 0 with the copy
// on standard output; 1 when the page would not be uploaded (nothing is written); 2 for a wrong
// command line or a page or copy that cannot be read or written.
#include "app/Commands.h"
#include "platform/Codepage.h"
#include "platform/ProgramFolder.h"
#include "rewrite/Annotations.h"
#include "rewrite/ClosedPage.h"
#include "rewrite/PageFile.h"
#include "rewrite/RewritePage.h"
#include "settings/ConfigUnit.h"

#include <QFileInfo>
#include <cstdio>
#include <iostream>
#include <string>

namespace app {

namespace {

constexpr const char* kUsage = "usage: quillmap rewrite PAGE --address A [--host-name H] [--closing] [--all]";

struct Options
{
    QString page;
    QString address;
    QString hostName;
    bool closing = false;
    bool all = false;
};

// Reads "--name value" or "--name=value"; returns false on a missing value.
bool TakeValue(const QStringList& args, qsizetype& i, const QString& name, QString& value)
{
    const QString& arg = args[i];
    if (arg.startsWith(name + u'=')) {
        value = arg.mid(name.size() + 1);
        return true;
    }
    if (i + 1 >= args.size())
        return false;
    value = args[++i];
    return true;
}

bool ParseOptions(const QStringList& args, Options& options)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--closing")) {
            options.closing = true;
        } else if (arg == QLatin1String("--all")) {
            options.all = true;
        } else if (arg == QLatin1String("--address") || arg.startsWith(QLatin1String("--address="))) {
            if (!TakeValue(args, i, QStringLiteral("--address"), options.address))
                return false;
        } else if (arg == QLatin1String("--host-name") || arg.startsWith(QLatin1String("--host-name="))) {
            if (!TakeValue(args, i, QStringLiteral("--host-name"), options.hostName))
                return false;
        } else if (arg.startsWith(QLatin1String("--")) || !options.page.isEmpty()) {
            std::cerr << "quillmap rewrite: unexpected argument: " << arg.toStdString() << std::endl;
            return false;
        } else {
            options.page = arg;
        }
    }
    return !options.page.isEmpty() && !options.address.isEmpty();
}

// The upload copy, annotated as the upload run annotates it. Empty when the page is not uploaded.
std::string MakeCopy(const std::string& page, const Options& options, const settings::TConfig& config)
{
    rewrite::RewriteState state;
    state.NewGlobalIP = platform::QStringToCp932(options.address);
    state.NewHostName = platform::QStringToCp932(options.hostName);
    state.UploadAll = options.all;
    const std::string copy = rewrite::RewritePage(page, options.closing, config, state);
    if (copy.empty())
        return {};
    if (config.RobotUse != 0)
        rewrite::AddRobotsMeta(copy, config);
    rewrite::StampPage(copy);
    if (options.closing)
        rewrite::InsertClosedNotice(copy, config);
    return copy;
}

int Run(const QStringList& args)
{
    Options options;
    if (!ParseOptions(args, options)) {
        std::cerr << kUsage << std::endl;
        return 2;
    }
    settings::TConfig config;
    settings::LoadSettings(config, nullptr);

    // The relative forms of the link base are computed from the page's full path.
    const std::string page = platform::PathToCp932(QFileInfo(options.page).absoluteFilePath());
    std::string copyPath;
    std::string bytes;
    try {
        copyPath = MakeCopy(page, options, config);
        if (!copyPath.empty())
            bytes = rewrite::ReadWholeFile(copyPath);
    } catch (const rewrite::RewriteError& e) {
        if (!copyPath.empty())
            rewrite::RemoveFileIfExists(copyPath);
        std::cerr << "quillmap rewrite: " << platform::Cp932ToUtf8(e.what()) << std::endl;
        return 2;
    }
    if (copyPath.empty()) {
        if (!QFileInfo(options.page).isFile())
            std::cerr << "quillmap rewrite: no such page: " << options.page.toStdString() << std::endl;
        else
            std::cerr
                << "quillmap rewrite: the page would not be uploaded (it is empty or has no link to replace)"
                << std::endl;
        return 1;
    }
    // The copy is temporary, as after an upload.
    rewrite::RemoveFileIfExists(copyPath);
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
        std::cerr << "quillmap rewrite: cannot write to standard output" << std::endl;
        return 2;
    }
    return 0;
}

const CommandRegistration registration({"rewrite",
                                        "Print the upload copy of a page: rewrite PAGE --address A "
                                        "[--host-name H] [--closing] [--all].",
                                        &Run});

} // namespace

} // namespace app
