// Every command of the program answers --help with its own usage, options and examples, and the
// manual page and the bash completion know every command.
#include "ToolRun.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// The commands as `quillmap --help` lists them ("  name  summary").
QStringList CommandNames()
{
    const testsupport::TempFolder home(false);
    const auto r = tooltest::Quillmap(home.path(), {QStringLiteral("--help")});
    QStringList names;
    const QRegularExpression line(QStringLiteral("^  ([a-z][a-z-]+)  "), QRegularExpression::MultilineOption);
    // The commands stand before the program's own options.
    const QString commands = QString::fromStdString(r.out.substr(0, r.out.find("\nOptions:")));
    for (auto it = line.globalMatch(commands); it.hasNext();)
        names << it.next().captured(1);
    return names;
}

} // namespace

TEST(CommandHelp, EveryCommandHasItsOwnHelpAndIsInTheManualAndTheCompletion)
{
    const QStringList names = CommandNames();
    ASSERT_GE(names.size(), 8) << "commands listed by --help";
    const std::string manual =
        testsupport::ReadBytes(QStringLiteral(QUILLMAP_TESTS_DIR "/../packaging/quillmap.1"));
    const std::string completion =
        testsupport::ReadBytes(QStringLiteral(QUILLMAP_TESTS_DIR "/../packaging/quillmap.bash"));
    const testsupport::TempFolder home(false);
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const auto r = tooltest::Quillmap(home.path(), {name, QStringLiteral("--help")});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out.rfind("Usage: quillmap " + name.toStdString(), 0), 0u) << r.out;
        EXPECT_NE(r.out.find("Example"), std::string::npos) << r.out;
        std::string escaped = name.toStdString();
        for (size_t at = escaped.find('-'); at != std::string::npos; at = escaped.find('-', at + 2))
            escaped.replace(at, 1, "\\-");
        EXPECT_NE(manual.find(".B " + escaped), std::string::npos) << "manual page";
        EXPECT_NE(completion.find(name.toStdString()), std::string::npos) << "bash completion";
    }
    // Nothing runs when help is asked for: `settings set --help` changes no file.
    const auto set = tooltest::Settings(home.path(), {QStringLiteral("set"), QStringLiteral("--help")});
    EXPECT_EQ(set.exitCode, 0);
    EXPECT_FALSE(QFile::exists(tooltest::Ini(home)));
}

namespace {

// What bash completes for the words of a command line (the last word being completed), with the
// package's completion loaded the way bash-completion loads it.
QStringList Completions(const QStringList& words)
{
    const QString script = QStringLiteral(
        "source /usr/share/bash-completion/bash_completion\n"
        "source '" QUILLMAP_TESTS_DIR "/../packaging/quillmap.bash'\n"
        "COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); COMP_LINE=\"$*\"; COMP_POINT=${#COMP_LINE}\n"
        "_quillmap quillmap \"${COMP_WORDS[COMP_CWORD]}\" \"${COMP_WORDS[COMP_CWORD - 1]}\"\n"
        "printf '%s\\n' \"${COMPREPLY[@]}\"\n");
    const QString bin = QFileInfo(QStringLiteral(QUILLMAP_BINARY)).absolutePath();
    const auto r = testsupport::RunProgram(
        QStringList{QStringLiteral("-c"), script, QStringLiteral("bash")} + words, tooltest::kToolTimeOutMs,
        [&bin](QProcess& process) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("PATH"), bin + u':' + env.value(QStringLiteral("PATH")));
            process.setProcessEnvironment(env);
        },
        QStringLiteral("/bin/bash"));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    QStringList out = QString::fromStdString(r.out).split(u'\n', Qt::SkipEmptyParts);
    out.sort();
    return out;
}

} // namespace

TEST(CommandHelp, BashCompletesCommandsOptionsAndSettingsNames)
{
    if (!QFile::exists(QStringLiteral("/usr/share/bash-completion/bash_completion")))
        GTEST_SKIP() << "bash-completion is not installed (scripts/deps.sh installs it)";
    EXPECT_EQ(Completions({QStringLiteral("quillmap"), QStringLiteral("test-")}),
              (QStringList{QStringLiteral("test-ftp"), QStringLiteral("test-mail"),
                           QStringLiteral("test-router")}));
    EXPECT_EQ(Completions({QStringLiteral("quillmap"), QStringLiteral("settings"), QStringLiteral("ch")}),
              QStringList{QStringLiteral("check")});
    EXPECT_EQ(Completions({QStringLiteral("quillmap"), QStringLiteral("settings"), QStringLiteral("get"),
                           QStringLiteral("SMTP.P")}),
              (QStringList{QStringLiteral("SMTP.Pass"), QStringLiteral("SMTP.Port")}));
    EXPECT_EQ(Completions({QStringLiteral("quillmap"), QStringLiteral("settings"), QStringLiteral("set"),
                           QStringLiteral("--s")}),
              QStringList{QStringLiteral("--stdin")});
    EXPECT_EQ(Completions({QStringLiteral("quillmap"), QStringLiteral("ddns-update"), QStringLiteral("--d")}),
              QStringList{QStringLiteral("--dry-run")});
}
