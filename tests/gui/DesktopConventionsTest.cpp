// What a Japanese desktop user meets before any setting: Qt's own texts in the desktop's language,
// the program's questions in Japanese whatever that language, and a file that the desktop cannot
// open named in a message.
#include "core/OperationLog.h"
#include "gui/GuiUserInterface.h"
#include "gui/QtText.h"
#include "gui/QtTranslations.h"
#include "platform/Codepage.h"
#include "platform/ProgramFolder.h"
#include "platform/ScriptedUserInterface.h"
#include "platform/Shell.h"
#include "platform/WaitLoop.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>
#include <gtest/gtest.h>
#include <optional>

using gui::J;

namespace {

// Runs ask() while a timer reads the question box that it opens and presses the button captioned
// press; the captions of the box's buttons, the default first, are returned.
QStringList AnswerBox(const std::function<bool()>& ask, const QString& press, bool& answer)
{
    QStringList captions;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (box->defaultButton())
            captions << box->defaultButton()->text();
        for (QAbstractButton* b : box->buttons())
            if (b != box->defaultButton())
                captions << b->text();
        for (QAbstractButton* b : box->buttons())
            if (b->text() == press)
                b->click();
    });
    // A box that never came up, or a button that was not there, must not block the test.
    QTimer::singleShot(5000, [] {
        if (QWidget* w = QApplication::activeModalWidget())
            w->close();
    });
    answer = ask();
    return captions;
}

// A folder on PATH that holds an xdg-open of the test's making (or none).
class HandlerPath
{
public:
    explicit HandlerPath(std::optional<int> exitCode) : m_saved(qgetenv("PATH"))
    {
        if (exitCode) {
            const QString script = m_folder.file(QStringLiteral("xdg-open"));
            testsupport::WriteBytes(script, "#!/bin/sh\nexit " + std::to_string(*exitCode) + "\n");
            QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        qputenv("PATH", m_folder.path().toLocal8Bit());
    }
    ~HandlerPath() { qputenv("PATH", m_saved); }

private:
    testsupport::TempFolder m_folder{false};
    QByteArray m_saved;
};

} // namespace

TEST(QtTranslations, QtsOwnTextsFollowAJapaneseDesktopAndStayEnglishWithoutTranslations)
{
    QTranslator* translator = gui::LoadQtTranslations(*qApp, QLocale(QLocale::Japanese, QLocale::Japan));
    ASSERT_NE(translator, nullptr) << "qtbase_ja.qm (qt6-translations-l10n) is missing";
    QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("t"),
                    QMessageBox::Cancel | QMessageBox::Close);
    const QString cancel = box.button(QMessageBox::Cancel)->text();
    const QString close = box.button(QMessageBox::Close)->text();
    QCoreApplication::removeTranslator(translator);
    delete translator;
    EXPECT_TRUE(cancel.contains(J(u8"キャンセル"))) << cancel.toStdString();
    EXPECT_TRUE(close.contains(J(u8"閉じる"))) << close.toStdString();

    // A folder without Qt's translations leaves Qt's texts as they are.
    testsupport::TempFolder empty(false);
    EXPECT_EQ(gui::LoadQtTranslations(*qApp, QLocale(QLocale::Japanese, QLocale::Japan), empty.path()), nullptr);
}

TEST(QuestionBoxes, AskInJapaneseWhateverTheDesktopLanguageWithTheirOwnDefault)
{
    // No translator is installed here: Qt's own Yes and No would read "&Yes" and "&No".
    gui::GuiUserInterface ui;
    bool answer = false;
    QStringList captions = AnswerBox([&] { return ui.AskYesNo(text::Sjis(u8"続けますか？"), "Quillmap"); },
                                     J(u8"いいえ(&N)"), answer);
    EXPECT_EQ(captions, (QStringList{J(u8"はい(&Y)"), J(u8"いいえ(&N)")}));
    EXPECT_FALSE(answer);
    captions = AnswerBox([&] { return ui.AskYesNo(text::Sjis(u8"続けますか？"), "Quillmap"); }, J(u8"はい(&Y)"),
                         answer);
    EXPECT_TRUE(answer);
    // A certificate question defaults to No, so that a hasty Enter trusts nobody.
    captions = AnswerBox([&] { return ui.AskTrustCertificate(text::Sjis(u8"信頼しますか？"), "Quillmap"); },
                         J(u8"はい(&Y)"), answer);
    EXPECT_EQ(captions, (QStringList{J(u8"いいえ(&N)"), J(u8"はい(&Y)")}));
    EXPECT_TRUE(answer);
}

TEST(DefaultHandler, AMissingOrFailingHandlerIsTold)
{
    {
        const HandlerPath none(std::nullopt);
        EXPECT_FALSE(platform::OpenWithDefaultHandler(QStringLiteral("/tmp/x.txt")));
    }
    for (const int code : {0, 4}) {
        const HandlerPath handler(code);
        std::optional<int> ended;
        ASSERT_TRUE(platform::OpenWithDefaultHandler(QStringLiteral("/tmp/x.txt"),
                                                     [&](int exitCode) { ended = exitCode; }));
        // The handler's end arrives as an event, while the program goes on.
        EXPECT_FALSE(ended.has_value());
        platform::WaitUntil([&] { return ended.has_value(); }, 10000);
        EXPECT_EQ(ended, code);
    }
}

TEST(DefaultHandler, TheLogFileThatCannotBeOpenedIsNamed)
{
    testsupport::TempFolder folder;
    testsupport::WriteBytes(folder.file(QStringLiteral("Log.txt")), "x\r\n");
    platform::ScriptedUserInterface ui;
    ui.SetOpenResult(false);
    core::ShowLogFile(ui);
    ASSERT_EQ(ui.Calls().size(), 2u);
    EXPECT_EQ(ui.Calls()[1].kind, platform::ScriptedUserInterface::Kind::Warning);
    EXPECT_NE(ui.Calls()[1].text.find(platform::PathToCp932(folder.file(QStringLiteral("Log.txt")))),
              std::string::npos)
        << platform::Cp932ToUtf8(ui.Calls()[1].text);
}
