// The main window and the about box as the user sees them, in the Japanese font the screenshots
// use: at the initial size every caption fits its control. With QUILLMAP_SCREENSHOT_DIR set, the
// windows are also saved there as PNG files for a person to look at.
#include "gui/TfrmAbout.h"
#include "text/Sjis.h"

#include "MainWindowFixture.h"

#include <QAbstractButton>
#include <QDir>
#include <QFontDatabase>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using text::Sjis;

namespace {

class MainWindowRenderTest : public testsupport::MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        m_oldFont = QApplication::font();
        QApplication::setFont(QFont(QStringLiteral("IPAGothic"), 9));
    }
    void TearDown() override
    {
        MainWindowFixture::TearDown();
        QApplication::setFont(m_oldFont);
    }

    static void save(QWidget& widget, const char* name)
    {
        const QString dir = qEnvironmentVariable("QUILLMAP_SCREENSHOT_DIR");
        if (dir.isEmpty())
            return;
        QDir().mkpath(dir);
        EXPECT_TRUE(widget.grab().save(QDir(dir).filePath(QString::fromLatin1(name))));
    }

    // Every button and box shows its whole caption.
    static void expectNothingCut(QWidget& top)
    {
        for (QAbstractButton* button : top.findChildren<QAbstractButton*>()) {
            if (!button->isVisible() || button->text().isEmpty())
                continue;
            EXPECT_GE(button->width(), button->sizeHint().width()) << button->objectName().toStdString();
            EXPECT_GE(button->height(), button->sizeHint().height()) << button->objectName().toStdString();
            EXPECT_TRUE(top.rect().contains(QRect(button->mapTo(&top, QPoint(0, 0)), button->size())))
                << button->objectName().toStdString();
        }
    }

private:
    QFont m_oldFont;
};

class ClosingUploadRenderTest : public MainWindowRenderTest
{
    void edit(settings::TConfig& c) override { c.ClosedUse = 1; }
};

} // namespace

TEST_F(ClosingUploadRenderTest, BothTabsFitTheirTextsAtTheInitialSize)
{
    if (!QFontDatabase::families().contains(QStringLiteral("IPAGothic")))
        GTEST_SKIP() << "the Japanese font IPAGothic is not installed";
    nextPages = {
        Sjis(u8"<h3>ステータス</h3><table border=\"1\"><tr><td>WAN側IPアドレス</td><td>203.0.113.5</td></tr>"
             u8"<tr><td>サブネットマスク</td><td>255.255.255.0</td></tr>"
             u8"<tr><td>接続状態</td><td>接続中</td></tr></table>")};
    create();
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdBrowse")), Qt::LeftButton);
    log.AddLog(Sjis(u8"ｸﾞﾛｰﾊﾞﾙIPが変わりました。203.0.113.5"), core::lkEvent);
    log.AddLog(Sjis(u8"index.html をｱｯﾌﾟﾛｰﾄﾞしました"), core::lkEvent);
    log.AddLog(Sjis(u8"ﾌｧｲﾙ diary.html をｱｯﾌﾟﾛｰﾄﾞできませんでした"), core::lkStepError);
    log.AddLog(Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞに失敗しました。"), core::lkRunFailure);
    log.AddLog(Sjis(u8"ﾙｰﾀのｽﾃｰﾀｽﾍﾟｰｼﾞにｱｸｾｽできませんでした｡"), core::lkRunFailure);

    window->resize(573, 453);
    QApplication::processEvents();
    EXPECT_EQ(window->size(), QSize(573, 453));
    expectNothingCut(*window);
    save(*window, "main-status.png");

    window->findChild<QTabWidget*>(QStringLiteral("PageControl1"))->setCurrentIndex(1);
    QApplication::processEvents();
    expectNothingCut(*window);
    save(*window, "main-log.png");
}

TEST_F(MainWindowRenderTest, AboutBoxFitsItsTexts)
{
    gui::TfrmAbout about;
    about.show();
    QApplication::processEvents();
    expectNothingCut(about);
    save(about, "about.png");
}
