// The main window as a desktop user meets it: a status bar that shows the cycle's text, a run button
// whose captions read on any palette, the router's page in its own colours, the window's place kept
// across the tray and restarts, and the about box that stops a page load first.
#include "gui/QtText.h"
#include "text/Sjis.h"

#include "MainWindowFixture.h"

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <algorithm>
#include <cmath>

using gui::J;
using testsupport::MainWindowFixture;
using text::Sjis;

namespace {

class MainWindowDesktop : public MainWindowFixture
{
protected:
    QPushButton* runButton() const { return child<QPushButton>("cmdStartChk"); }
};

class NeverShownWindow : public MainWindowFixture
{
    void edit(settings::TConfig& c) override { c.ShowWindow = 0; }
};

// WCAG's contrast ratio of two colours (1 to 21).
double Contrast(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette DarkPalette()
{
    QPalette dark(QColor(0x35, 0x35, 0x35), QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
    dark.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
    dark.setColor(QPalette::ButtonText, QColor(0xe0, 0xe0, 0xe0));
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x70, 0x70, 0x70));
    return dark;
}

} // namespace

TEST_F(MainWindowDesktop, TheStatusBarIsALineOfTextInsideTheWindow)
{
    create();
    QApplication::processEvents();
    auto* panel = child<QLabel>("pnlStatus");
    const int narrowest = window->minimumSizeHint().width();
    const std::string uploading = Sjis(u8"ｱｯﾌﾟﾛｰﾄﾞ中... diary/2026/12/08/a-rather-long-page-name-for-the-status-bar.htm");
    window->ShowStatusText(uploading);
    QApplication::processEvents();
    EXPECT_EQ(panel->text(), gui::Qs(uploading));
    EXPECT_GE(panel->height(), panel->fontMetrics().height());
    const QRect bar = window->statusBar()->geometry();
    EXPECT_GE(bar.height(), panel->fontMetrics().height());
    EXPECT_LE(bar.bottom(), window->rect().bottom());
    // Nothing of the window is cut: it is at least as large as its layout needs, and a long status
    // text does not widen it.
    EXPECT_GE(window->height(), window->minimumSizeHint().height());
    EXPECT_EQ(window->minimumSizeHint().width(), narrowest);
}

TEST_F(MainWindowDesktop, RunCaptionsReadOnLightAndDarkPalettesAndLookDisabledWhenDisabled)
{
    create();
    for (const QPalette& palette : {QApplication::palette(), DarkPalette()}) {
        window->setPalette(palette);
        for (const bool monitoring : {false, true}) {
            if (cycle->View().Monitoring != monitoring)
                QTest::mouseClick(runButton(), Qt::LeftButton);
            ASSERT_EQ(cycle->View().Monitoring, monitoring);
            const QPalette shown = runButton()->palette();
            const QColor caption = shown.color(QPalette::Active, QPalette::ButtonText);
            EXPECT_GE(Contrast(caption, shown.color(QPalette::Active, QPalette::Button)), 3.0)
                << caption.name().toStdString() << " monitoring " << monitoring;
            // Blue to start, red to stop.
            EXPECT_EQ(caption.blue() > caption.red(), !monitoring) << caption.name().toStdString();
            // Disabled, it looks like every disabled button of the palette.
            EXPECT_EQ(shown.color(QPalette::Disabled, QPalette::ButtonText),
                      palette.color(QPalette::Disabled, QPalette::ButtonText));
        }
        QTest::mouseClick(runButton(), Qt::LeftButton);
    }
}

TEST_F(MainWindowDesktop, TheRoutersPageKeepsItsOwnColoursOnADarkPalette)
{
    // A page that sets a white background and no text colour, as many routers' pages do.
    nextPages = {"<body bgcolor=\"#ffffff\"><p style=\"font-size:40px\">WWWWWWWW</p></body>"};
    create();
    window->setPalette(DarkPalette());
    window->show();
    QTest::mouseClick(child<QPushButton>("cmdBrowse"), Qt::LeftButton);
    child<QTabWidget>("PageControl1")->setCurrentIndex(0);
    auto* browser = child<QTextBrowser>("WebBrowser1");
    ASSERT_TRUE(browser->toPlainText().contains(QStringLiteral("WWWW")));
    const QImage shot = browser->viewport()->grab().toImage();
    int dark = 0;
    int light = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const int gray = qGray(shot.pixel(x, y));
            dark += gray < 90 ? 1 : 0;
            light += gray > 230 ? 1 : 0;
        }
    // Dark letters on the page's white.
    EXPECT_GT(dark, 50);
    EXPECT_GT(light, dark);
}

TEST_F(MainWindowDesktop, ThePlaceIsKeptAcrossTheTrayAndARestart)
{
    create();
    QApplication::processEvents();
    const QRect placed(QPoint(90, 70), QSize(620, 480));
    window->move(placed.topLeft());
    window->resize(placed.size());
    QApplication::processEvents();
    QTest::mouseClick(child<QPushButton>("cmdHide"), Qt::LeftButton);
    ASSERT_FALSE(window->isVisible());
    // The desktop may put a window shown again anywhere; it comes back where it was.
    window->move(0, 0);
    clickTray();
    EXPECT_EQ(QRect(window->pos(), window->size()), placed);

    window->RequestClose();
    ASSERT_TRUE(waitFor([&] { return !window->isVisible(); }));
    settings::TConfig saved;
    settings::LoadSettings(saved, nullptr);
    EXPECT_EQ(QRect(saved.WindowLeft, saved.WindowTop, saved.WindowWidth, saved.WindowHeight), placed);

    window.reset();
    cycle.reset();
    create();
    EXPECT_EQ(QRect(window->pos(), window->size()), placed);
}

TEST_F(NeverShownWindow, AWindowNeverShownWritesNoPlace)
{
    create();
    ASSERT_FALSE(window->isVisible());
    window->RequestClose();
    ASSERT_TRUE(waitFor([&] { return cycle->View().Closed; }));
    // A file from a program that never had these keys stays without them.
    EXPECT_EQ(testsupport::ReadBytes(folder.file(QStringLiteral("Quillmap.ini"))).find("[Window]"),
              std::string::npos);
}

TEST_F(MainWindowDesktop, TheAboutBoxStopsAPageLoadFirst)
{
    create();
    steps->navigating = true;
    int cancelsWhenShown = -1;
    QTimer::singleShot(0, [&] {
        cancelsWhenShown = steps->cancels;
        if (QWidget* about = QApplication::activeModalWidget())
            about->close();
    });
    action("mnuAbout")->trigger();
    EXPECT_EQ(cancelsWhenShown, 1);
    EXPECT_FALSE(steps->navigating);
}
