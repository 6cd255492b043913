// The status page source viewer: the screen form of a code page 932 page and its way back to the
// bytes, the address finder selecting exactly the address on screen behind Japanese text, OK with and
// without a selection, and Cancel.
#include "AuxTestUtil.h"
#include "gui/QtText.h"
#include "gui/SourceMap.h"
#include "gui/TfrmStatusSrc.h"
#include "platform/ScriptedUserInterface.h"
#include "text/Sjis.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTextCursor>
#include <gtest/gtest.h>

namespace {

using auxtest::Get;
using Kind = platform::ScriptedUserInterface::Kind;
using text::Sjis;

// Double-byte text, half-width katakana and CR LF line ends before, between and after the addresses.
const std::u8string_view kPage =
    u8"<p>ﾙｰﾀｰ情報：\r\n<b>LAN側</b> 192.168.1.254 ｻﾌﾞﾈｯﾄ 255.255.255.0\r\n"
    u8"<td>ｸﾞﾛｰﾊﾞﾙIPｱﾄﾞﾚｽ</td><td>210.170.12.34</td>\n漢字 DNS：198.51.100.7</p>";

TEST(SourceMap, ScreenTextAndTheWayBackToTheBytes)
{
    const std::string page = Sjis(kPage) + "\r" + "x" + std::string(1, '\x82'); // a lone CR, a cut character
    const gui::SourceMap map = gui::SourceMap::Build(page);
    QString expected = gui::Qs(page);
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    EXPECT_EQ(map.screen, expected);
    ASSERT_EQ(map.positionOfByte.size(), page.size() + 1);
    ASSERT_EQ(map.byteOfPosition.size(), static_cast<size_t>(map.screen.size()) + 1);
    // Every screen position leads to a byte that leads back to the same position.
    for (qsizetype p = 0; p <= map.screen.size(); ++p)
        EXPECT_EQ(map.positionOfByte[map.byteOfPosition[static_cast<size_t>(p)]], p) << p;

    const std::string kanji = Sjis(u8"漢字");
    const size_t at = page.find(kanji);
    const int position = map.positionOfByte[at];
    EXPECT_EQ(map.screen.mid(position, 2), QString::fromUtf8(u8"漢字"));
    EXPECT_EQ(map.positionOfByte[at + 1], position); // the trail byte belongs to the same character
    EXPECT_EQ(map.Bytes(position + 2, position), (std::pair<size_t, size_t>{at, 4}));
}

class StatusSrc : public testing::Test
{
protected:
    void Show(const std::string& page)
    {
        viewer.SourceText = page;
        viewer.show();
        QApplication::setActiveWindow(&viewer);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&viewer));
    }
    QPlainTextEdit& Source() { return Get<QPlainTextEdit>(viewer, "txtSource"); }
    QString Selected() { return Source().textCursor().selectedText(); }
    void Find() { QTest::mouseClick(&Get<QPushButton>(viewer, "cmdFind"), Qt::LeftButton); }

    platform::ScriptedUserInterface ui;
    gui::TfrmStatusSrc viewer{ui};
};

TEST_F(StatusSrc, FinderSelectsEachAddressBehindJapaneseTextAndThenSaysNotFound)
{
    Show(Sjis(kPage));
    EXPECT_EQ(Source().textCursor().position(), 0);
    // Every plausible address in order, the router's own included; the mask 255.255.255.0 is not one
    // (nor would be an address with a 0 in its second or third place or a 1 in its last).
    for (const char* address : {"192.168.1.254", "210.170.12.34", "198.51.100.7"}) {
        Find();
        EXPECT_EQ(Selected(), QString::fromLatin1(address));
        EXPECT_EQ(QApplication::focusWidget(), &Source());
    }
    EXPECT_TRUE(ui.Calls().empty());
    Find();
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].kind, Kind::Information);
    EXPECT_EQ(ui.Calls()[0].text, Sjis(u8"見つかりません。"));
    EXPECT_EQ(Selected(), "198.51.100.7");

    // From a caret placed by the user: the next address after it.
    QTextCursor caret = Source().textCursor();
    caret.setPosition(Source().toPlainText().indexOf(QString::fromUtf8(u8"ｸﾞﾛｰﾊﾞﾙ")));
    Source().setTextCursor(caret);
    Find();
    EXPECT_EQ(Selected(), "210.170.12.34");
}

TEST_F(StatusSrc, OkNeedsASelectionAndGivesItsCodePage932Bytes)
{
    const std::string page = Sjis(kPage);
    Show(page);
    QTest::mouseClick(&Get<QPushButton>(viewer, "cmdOK"), Qt::LeftButton);
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].kind, Kind::Warning);
    EXPECT_EQ(ui.Calls()[0].text, Sjis(u8"HTMLｿｰｽが選択されていません。"));
    EXPECT_TRUE(viewer.isVisible());
    EXPECT_TRUE(viewer.SelectedKey.empty());

    // A key across a CR LF and Japanese text keeps the page's own bytes.
    const std::string key = Sjis(u8"情報：\r\n<b>LAN側");
    const QString screen = Source().toPlainText();
    const qsizetype from = screen.indexOf(QString::fromUtf8(u8"情報"));
    QTextCursor select = Source().textCursor();
    select.setPosition(static_cast<int>(from));
    select.setPosition(static_cast<int>(from + QString::fromUtf8(u8"情報：\n<b>LAN側").size()),
                       QTextCursor::KeepAnchor);
    Source().setTextCursor(select);
    QTest::mouseClick(&Get<QPushButton>(viewer, "cmdOK"), Qt::LeftButton);
    EXPECT_FALSE(viewer.isVisible());
    EXPECT_EQ(viewer.result(), QDialog::Accepted);
    EXPECT_EQ(viewer.SelectedKey, key);
    EXPECT_NE(page.find(viewer.SelectedKey), std::string::npos);
}

TEST_F(StatusSrc, CancelAndEscapeLeaveNoKeyAndEachShowingStartsAtTheTop)
{
    viewer.SourceText = Sjis(kPage);
    const auto run = [&] {
        viewer.exec();
        return viewer.SelectedKey;
    };
    // OK with the found address, then Escape on the next showing: the old key goes.
    EXPECT_EQ(auxtest::DriveModal<std::string>(viewer, run,
                                               [&] {
                                                   Find();
                                                   QTest::mouseClick(&Get<QPushButton>(viewer, "cmdOK"),
                                                                     Qt::LeftButton);
                                               }),
              "192.168.1.254");
    EXPECT_EQ(auxtest::DriveModal<std::string>(viewer, run,
                                               [&] {
                                                   EXPECT_FALSE(Source().textCursor().hasSelection());
                                                   EXPECT_EQ(Source().textCursor().position(), 0);
                                                   Find();
                                                   QTest::keyClick(&Source(), Qt::Key_Escape);
                                               }),
              "");
    EXPECT_EQ(viewer.result(), QDialog::Rejected);
    EXPECT_EQ(
        auxtest::DriveModal<std::string>(
            viewer, run, [&] { QTest::mouseClick(&Get<QPushButton>(viewer, "cmdCancel"), Qt::LeftButton); }),
        "");
}

TEST_F(StatusSrc, WindowHasNoCloseBoxAndKeepsItsPanelAndTheHundredPixels)
{
    Show(Sjis(kPage));
    EXPECT_FALSE(viewer.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(viewer.windowFlags().testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(Source().isReadOnly());
    EXPECT_EQ(Source().lineWrapMode(), QPlainTextEdit::NoWrap);
    viewer.resize(10, 10);
    QWidget& panel = Get<QWidget>(viewer, "pnlButtons");
    EXPECT_GE(viewer.height(), 100);
    EXPECT_GE(viewer.width(), panel.minimumSizeHint().width());
    EXPECT_GE(panel.width(), panel.minimumSizeHint().width());
    // The finder's hint shows in the window's own status bar.
    QPushButton& find = Get<QPushButton>(viewer, "cmdFind");
    EXPECT_EQ(find.toolTip(), QString::fromUtf8(u8"ｶｰｿﾙ位置から下のIPｱﾄﾞﾚｽを検索します"));
    QStatusTipEvent tip(find.statusTip());
    QApplication::sendEvent(&find, &tip);
    EXPECT_EQ(Get<QStatusBar>(viewer, "StatusBar").currentMessage(), find.toolTip());
}

} // namespace
