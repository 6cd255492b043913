// The three small settings dialogs, driven through their real widgets: the list editing they share,
// the robots dialog's "no robots" rule, the masks and the closing text as they reach the object and
// the settings file, Cancel, and a settings file that cannot be written.
#include "gui/AuxDialogs.h"
#include "AuxTestUtil.h"
#include "gui/FolderPicker.h"
#include "gui/QtText.h"
#include "platform/ScriptedUserInterface.h"
#include "settings/ConfigUnit.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using auxtest::Get;
using Kind = platform::ScriptedUserInterface::Kind;
using text::Sjis;

QStringList ListTexts(const QListWidget& list)
{
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts << list.item(i)->text();
    return texts;
}

void Click(const QObject& dialog, const char* name)
{
    QTest::mouseClick(&Get<QPushButton>(dialog, name), Qt::LeftButton);
}

void Type(const QObject& dialog, const char* entry, const QString& text)
{
    QLineEdit& box = Get<QLineEdit>(dialog, entry);
    box.clear();
    // QTest types ASCII keys only; Japanese text arrives the way an input method commits it.
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        QTest::keyClicks(&box, text);
    else
        box.insert(text);
}

class AuxDialogs : public testing::Test
{
protected:
    void SetUp() override { settings::LoadSettings(config, nullptr); }

    std::string SettingsFile() const { return testsupport::ReadBytes(folder.file("Quillmap.ini")); }

    // Opens dialog.Edit(config) and runs body while it is shown.
    template <typename D> bool Edit(D& dialog, const std::function<void()>& body)
    {
        return auxtest::DriveModal<bool>(
            dialog, [&] { return dialog.Edit(config); }, body);
    }

    testsupport::TempFolder folder;
    platform::ScriptedUserInterface ui;
    settings::TConfig config;
};

TEST_F(AuxDialogs, AddingMovesAnEqualItemToTheEndAndEnterAddsWithoutClosing)
{
    gui::TfrmHead dialog(ui);
    const bool saved = Edit(dialog, [&] {
        QLineEdit& entry = Get<QLineEdit>(dialog, "txtKeywordJ");
        Type(dialog, "txtKeywordJ", "a");
        Click(dialog, "cmdAddJ");
        EXPECT_TRUE(entry.text().isEmpty());
        // Enter in the entry box adds and leaves the dialog open (OK is the default button).
        Type(dialog, "txtKeywordJ", "b");
        QTest::keyClick(&entry, Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible());
        Type(dialog, "txtKeywordJ", "a");
        QTest::keyClick(&entry, Qt::Key_Enter);
        EXPECT_EQ(ListTexts(Get<QListWidget>(dialog, "lstKeywordJ")), (QStringList{"b", "a"}));
        // Letter case counts: "A" is another keyword. An empty entry adds nothing.
        Type(dialog, "txtKeywordJ", "A");
        Click(dialog, "cmdAddJ");
        Click(dialog, "cmdAddJ");
        EXPECT_EQ(ListTexts(Get<QListWidget>(dialog, "lstKeywordJ")), (QStringList{"b", "a", "A"}));
        EXPECT_TRUE(ListTexts(Get<QListWidget>(dialog, "lstKeywordE")).isEmpty());
        Click(dialog, "cmdOK");
    });
    EXPECT_TRUE(saved);
    EXPECT_EQ(*config.KeywordsJP, (text::StringList{"b", "a", "A"}));
    EXPECT_TRUE(ui.Calls().empty());
}

TEST_F(AuxDialogs, CommaInAKeywordIsRefusedWithTheBoxOfItsTab)
{
    config.KeywordsJP = std::make_unique<text::StringList>(text::StringList{"k"});
    config.KeywordsEN = std::make_unique<text::StringList>(text::StringList{"e"});
    gui::TfrmHead dialog(ui);
    dialog.Fill(config);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));

    const std::string message = Sjis(u8"ｷｰﾜｰﾄﾞに“,”を含めることはできません。");
    Type(dialog, "txtKeywordJ", "x,y");
    Click(dialog, "cmdAddJ");
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].kind, Kind::Warning);
    EXPECT_EQ(ui.Calls()[0].text, message);
    EXPECT_EQ(ui.Calls()[0].caption, "Quillmap");
    EXPECT_EQ(QApplication::focusWidget(), &Get<QLineEdit>(dialog, "txtKeywordJ"));
    EXPECT_EQ(Get<QLineEdit>(dialog, "txtKeywordJ").text(), "x,y");
    EXPECT_EQ(ListTexts(Get<QListWidget>(dialog, "lstKeywordJ")), QStringList{"k"});

    Get<QTabWidget>(dialog, "tabLanguage").setCurrentIndex(1);
    Type(dialog, "txtKeywordE", "p,q");
    QTest::keyClick(&Get<QLineEdit>(dialog, "txtKeywordE"), Qt::Key_Return);
    ASSERT_EQ(ui.Calls().size(), 2u);
    EXPECT_EQ(ui.Calls()[1].kind, Kind::Information);
    EXPECT_EQ(ui.Calls()[1].text, message);
    EXPECT_EQ(QApplication::focusWidget(), &Get<QLineEdit>(dialog, "txtKeywordE"));
    EXPECT_EQ(ListTexts(Get<QListWidget>(dialog, "lstKeywordE")), QStringList{"e"});

    // Only the ASCII comma is forbidden; the full-width one is an ordinary character.
    Type(dialog, "txtKeywordE", QString::fromUtf8(u8"p，q"));
    Click(dialog, "cmdAddE");
    EXPECT_EQ(ListTexts(Get<QListWidget>(dialog, "lstKeywordE")),
              (QStringList{"e", QString::fromUtf8(u8"p，q")}));
    EXPECT_EQ(ui.Calls().size(), 2u);
}

TEST_F(AuxDialogs, MaskListRefusesSemicolonDeletesEverySelectedItemAndClears)
{
    config.ReplaceExt = "*.htm;*.html;*.shtm;*.txt";
    gui::TfrmFileExt dialog(ui);
    dialog.Fill(config);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QListWidget& list = Get<QListWidget>(dialog, "lstExt");
    ASSERT_EQ(ListTexts(list), (QStringList{"*.htm", "*.html", "*.shtm", "*.txt"}));

    Type(dialog, "txtExt", "*.a;*.b");
    Click(dialog, "cmdAdd");
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].kind, Kind::Warning);
    EXPECT_EQ(ui.Calls()[0].text, Sjis(u8"不正なﾌｧｲﾙ名です。"));
    EXPECT_EQ(QApplication::focusWidget(), &Get<QLineEdit>(dialog, "txtExt"));
    EXPECT_EQ(list.count(), 4);

    // Several masks selected at once (Ctrl+click) all go.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(0)).center());
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list.visualItemRect(list.item(2)).center());
    Click(dialog, "cmdDelete");
    EXPECT_EQ(ListTexts(list), (QStringList{"*.html", "*.txt"}));
    Click(dialog, "cmdClear");
    EXPECT_EQ(list.count(), 0);

    // The keyword lists take one selected item at a time.
    gui::TfrmHead head(ui);
    EXPECT_EQ(Get<QListWidget>(head, "lstKeywordJ").selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(Get<QListWidget>(head, "lstKeywordE").selectionMode(), QAbstractItemView::SingleSelection);
}

TEST_F(AuxDialogs, NoRobotsDisablesEveryKeywordAndDescriptionControlFromTheStart)
{
    const char* controls[] = {"fraKeywordJ", "lstKeywordJ", "txtKeywordJ",  "cmdAddJ",
                              "cmdDeleteJ",  "cmdClearJ",   "lblDescriptJ", "txtDescriptJ",
                              "fraKeywordE", "lstKeywordE", "txtKeywordE",  "cmdAddE",
                              "cmdDeleteE",  "cmdClearE",   "lblDescriptE", "txtDescriptE"};
    config.RobotNo = 1;
    config.KeywordsJP = std::make_unique<text::StringList>(text::StringList{Sjis(u8"日記")});
    gui::TfrmHead dialog(ui);
    dialog.Fill(config);
    EXPECT_TRUE(Get<QCheckBox>(dialog, "chkNofollow").isChecked());
    for (const char* name : controls)
        EXPECT_FALSE(Get<QWidget>(dialog, name).isEnabled()) << name;
    EXPECT_TRUE(Get<QTabWidget>(dialog, "tabLanguage").isEnabled());

    Get<QCheckBox>(dialog, "chkNofollow").setChecked(false);
    for (const char* name : controls)
        EXPECT_TRUE(Get<QWidget>(dialog, name).isEnabled()) << name;
    EXPECT_EQ(ListTexts(Get<QListWidget>(dialog, "lstKeywordJ")), QStringList{QString::fromUtf8(u8"日記")});

    // A second showing with RobotNo 0 starts enabled again, after the box was left checked.
    Get<QCheckBox>(dialog, "chkNofollow").setChecked(true);
    config.RobotNo = 0;
    dialog.Fill(config);
    EXPECT_TRUE(Get<QWidget>(dialog, "txtDescriptE").isEnabled());
}

TEST_F(AuxDialogs, RobotsOkWritesTheObjectAndTheRobotsShareOfTheFile)
{
    gui::TfrmHead dialog(ui);
    const bool saved = Edit(dialog, [&] {
        Type(dialog, "txtKeywordJ", QString::fromUtf8(u8"ﾎｰﾑ ｻｰﾊﾞｰ"));
        Click(dialog, "cmdAddJ");
        Type(dialog, "txtKeywordJ", QString::fromUtf8(u8"日記"));
        Click(dialog, "cmdAddJ");
        Type(dialog, "txtKeywordE", "diary");
        Click(dialog, "cmdAddE");
        Type(dialog, "txtDescriptJ", QString::fromUtf8(u8"自宅の日記です"));
        Type(dialog, "txtDescriptE", "my diary");
        Get<QCheckBox>(dialog, "chkNofollow").setChecked(true);
        Click(dialog, "cmdOK");
    });
    ASSERT_TRUE(saved);
    const text::StringList jp{Sjis(u8"ﾎｰﾑ ｻｰﾊﾞｰ"), Sjis(u8"日記")};
    EXPECT_EQ(config.RobotNo, 1);
    EXPECT_EQ(*config.KeywordsJP, jp);
    EXPECT_EQ(*config.KeywordsEN, text::StringList{"diary"});
    EXPECT_EQ(config.DescriptionJP, Sjis(u8"自宅の日記です"));
    EXPECT_EQ(config.DescriptionEN, "my diary");

    settings::TConfig reread;
    settings::LoadSettings(reread, nullptr);
    EXPECT_EQ(reread.RobotNo, 1);
    EXPECT_EQ(*reread.KeywordsJP, jp);
    EXPECT_EQ(*reread.KeywordsEN, text::StringList{"diary"});
    EXPECT_EQ(reread.DescriptionJP, config.DescriptionJP);
    // Only the robots share is written: no key of the settings dialog appears in the file.
    EXPECT_EQ(SettingsFile().find("Interval"), std::string::npos);
}

TEST_F(AuxDialogs, EmptiedMaskListIsSavedEmptyAndReadBackAsTheDefaultMasks)
{
    config.ReplaceExt = "*.htm;*.php";
    gui::TfrmFileExt dialog(ui);
    ASSERT_TRUE(Edit(dialog, [&] {
        Type(dialog, "txtExt", "*.cgi");
        Click(dialog, "cmdAdd");
        Get<QCheckBox>(dialog, "chkRepOnly").setChecked(true);
        Click(dialog, "cmdOK");
    }));
    EXPECT_EQ(config.ReplaceExt, "*.htm;*.php;*.cgi");
    EXPECT_EQ(config.ReplaceOnly, 1);
    EXPECT_NE(SettingsFile().find("ReplaceExt=*.htm;*.php;*.cgi\r\n"), std::string::npos);

    ASSERT_TRUE(Edit(dialog, [&] {
        EXPECT_EQ(Get<QListWidget>(dialog, "lstExt").count(), 3);
        EXPECT_TRUE(Get<QCheckBox>(dialog, "chkRepOnly").isChecked());
        Click(dialog, "cmdClear");
        Click(dialog, "cmdOK");
    }));
    EXPECT_EQ(config.ReplaceExt, "");
    EXPECT_NE(SettingsFile().find("ReplaceExt=\r\n"), std::string::npos);
    settings::TConfig reread;
    settings::LoadSettings(reread, nullptr);
    EXPECT_EQ(reread.ReplaceExt, "*.htm;*.html;*.shtm;*.shtml");
}

TEST_F(AuxDialogs, ClosingTextDropsLeadingEmptyLinesAndKeepsInnerAndTrailingOnes)
{
    config.ClosedString = Sjis(u8"古い\r\n案内");
    gui::TfrmCfgClosed dialog(ui);
    ASSERT_TRUE(Edit(dialog, [&] {
        QPlainTextEdit& box = Get<QPlainTextEdit>(dialog, "txtClosedStr");
        EXPECT_EQ(box.toPlainText(), QString::fromUtf8(u8"古い\n案内"));
        box.setPlainText(QString::fromUtf8(u8"\n\n<p>休止中です</p>\n\n<p>ｻｰﾊﾞｰ停止</p>\n"));
        Click(dialog, "cmdOK");
    }));
    const std::string expected = Sjis(u8"<p>休止中です</p>\r\n\r\n<p>ｻｰﾊﾞｰ停止</p>\r\n");
    EXPECT_EQ(config.ClosedString, expected);
    settings::TConfig reread;
    settings::LoadSettings(reread, nullptr);
    EXPECT_EQ(reread.ClosedString, expected);
}

TEST_F(AuxDialogs, ClosingModeRuleAndModeOneWithAnEmptyFolderIsSaved)
{
    const char* noticeSide[] = {"lblClosedStr", "txtClosedStr", "chkFast"};
    const char* folderSide[] = {"lblClosedFile", "txtClosedFile", "cmdClosedFile", "lblClosedFileNote"};
    config.ClosedMode = 0;
    config.ClosedFile = "/srv/closed";
    gui::TfrmCfgClosed dialog(ui);
    ASSERT_TRUE(Edit(dialog, [&] {
        EXPECT_TRUE(Get<QRadioButton>(dialog, "optMode0").isChecked());
        for (const char* name : noticeSide)
            EXPECT_TRUE(Get<QWidget>(dialog, name).isEnabled()) << name;
        for (const char* name : folderSide)
            EXPECT_FALSE(Get<QWidget>(dialog, name).isEnabled()) << name;
        // On the button's circle: the widget is wider than its circle and caption.
        QRadioButton& mode1 = Get<QRadioButton>(dialog, "optMode1");
        QTest::mouseClick(&mode1, Qt::LeftButton, {}, QPoint(8, mode1.height() / 2));
        for (const char* name : noticeSide)
            EXPECT_FALSE(Get<QWidget>(dialog, name).isEnabled()) << name;
        for (const char* name : folderSide)
            EXPECT_TRUE(Get<QWidget>(dialog, name).isEnabled()) << name;
        Get<QLineEdit>(dialog, "txtClosedFile").clear();
        Get<QCheckBox>(dialog, "chkFast").setChecked(true);
        Click(dialog, "cmdOK");
    }));
    EXPECT_TRUE(ui.Calls().empty());
    EXPECT_EQ(config.ClosedMode, 1);
    EXPECT_EQ(config.ClosedFast, 1);
    EXPECT_EQ(config.ClosedFile, "");
    settings::TConfig reread;
    settings::LoadSettings(reread, nullptr);
    EXPECT_EQ(reread.ClosedMode, 1);
    EXPECT_EQ(reread.ClosedFile, "");

    // Filled from mode 1, the folder side starts enabled.
    dialog.Fill(config);
    EXPECT_TRUE(Get<QRadioButton>(dialog, "optMode1").isChecked());
    EXPECT_TRUE(Get<QWidget>(dialog, "txtClosedFile").isEnabled());
    EXPECT_FALSE(Get<QWidget>(dialog, "txtClosedStr").isEnabled());
}

// Each dialog with its controls changed and then left by Cancel (or Escape), or by an OK whose save
// fails: the object keeps every value and the file stays as it was.
TEST_F(AuxDialogs, CancelEscapeAndAFailedSaveChangeNeitherTheObjectNorTheFile)
{
    config.KeywordsJP = std::make_unique<text::StringList>(text::StringList{"k"});
    config.ReplaceExt = "*.htm";
    config.ClosedString = "notice";
    settings::SaveSettings(config, settings::SaveScope::All);
    const std::string before = SettingsFile();

    gui::TfrmHead head(ui);
    gui::TfrmFileExt ext(ui);
    gui::TfrmCfgClosed closed(ui);
    const auto changeAll = [&] {
        Type(head, "txtKeywordJ", "new");
        Click(head, "cmdAddJ");
        Get<QCheckBox>(head, "chkNofollow").setChecked(true);
        Click(ext, "cmdClear");
        Get<QPlainTextEdit>(closed, "txtClosedStr").setPlainText("changed");
        Get<QRadioButton>(closed, "optMode1").setChecked(true);
    };
    const auto unchanged = [&](const char* how) {
        EXPECT_EQ(*config.KeywordsJP, text::StringList{"k"}) << how;
        EXPECT_EQ(config.RobotNo, 0) << how;
        EXPECT_EQ(config.ReplaceExt, "*.htm") << how;
        EXPECT_EQ(config.ClosedString, "notice") << how;
        EXPECT_EQ(config.ClosedMode, 0) << how;
    };

    EXPECT_FALSE(Edit(head, [&] {
        changeAll();
        Click(head, "cmdCancel");
    }));
    EXPECT_FALSE(Edit(ext, [&] {
        changeAll();
        QTest::keyClick(&ext, Qt::Key_Escape);
    }));
    EXPECT_FALSE(Edit(closed, [&] {
        changeAll();
        Click(closed, "cmdCancel");
    }));
    unchanged("cancel");
    EXPECT_EQ(SettingsFile(), before);
    EXPECT_TRUE(ui.Calls().empty());

    // A folder in the settings file's place: the save fails for root as well.
    ASSERT_TRUE(QFile::remove(folder.file("Quillmap.ini")));
    ASSERT_TRUE(QDir(folder.path()).mkdir("Quillmap.ini"));
    for (QDialog* dialog : std::initializer_list<QDialog*>{&head, &ext, &closed}) {
        ui.Clear();
        const auto run = [&]() -> bool {
            if (dialog == &head)
                return head.Edit(config);
            if (dialog == &ext)
                return ext.Edit(config);
            return closed.Edit(config);
        };
        EXPECT_FALSE(auxtest::DriveModal<bool>(*dialog, run, [&] {
            changeAll();
            Click(*dialog, "cmdOK");
            EXPECT_TRUE(dialog->isVisible()) << dialog->objectName().toStdString();
        }));
        ASSERT_EQ(ui.Calls().size(), 1u);
        EXPECT_EQ(ui.Calls()[0].kind, Kind::Warning);
        EXPECT_NE(ui.Calls()[0].text.find(Sjis(u8" に書き込めません")), std::string::npos)
            << ui.Calls()[0].text;
        unchanged(dialog->objectName().toStdString().c_str());
    }
}

TEST(FolderPicker, OpensAtTheBoxTextAndReplacesItOnlyWithAChosenFolder)
{
    testsupport::TempFolder folder(false);
    ASSERT_TRUE(QDir(folder.path()).mkdir("pages"));
    const QString start = QDir::toNativeSeparators(folder.path());
    const QString chosen = QDir::toNativeSeparators(folder.file("pages"));
    QLineEdit box;
    box.setText(start);

    for (const bool choose : {false, true}) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            seen = true;
            EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8(u8"ﾌｫﾙﾀﾞを選択してください"));
            EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(start).canonicalPath());
            if (!choose) {
                dialog->reject();
                return;
            }
            dialog->selectFile(chosen);
            // accept() is protected in QFileDialog; its slot is reached the way its own button does.
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        guard.start(10000);
        gui::PickFolderInto(box);
        guard.stop();
        EXPECT_TRUE(seen);
        EXPECT_EQ(QDir(box.text()).canonicalPath(), QDir(choose ? chosen : start).canonicalPath());
    }
}

} // namespace
