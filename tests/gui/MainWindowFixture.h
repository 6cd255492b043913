#pragma once
// The main window over a real check cycle whose network steps are scripted (the closing run is the
// real one, so the settings file shows what the window's boxes made of it), in a program folder of
// its own, with the tray's presence chosen by the test.

#include "core/OperationLog.h"
#include "cycle/CheckCycle.h"
#include "cycle/MainComponents.h"
#include "gui/TfrmMain.h"
#include "platform/ScriptedUserInterface.h"
#include "platform/WaitLoop.h"
#include "settings/ConfigUnit.h"
#include "support/TempFolder.h"

#include <QAction>
#include <QApplication>
#include <deque>
#include <gtest/gtest.h>
#include <memory>

namespace testsupport {

struct WindowSteps : core::CheckSteps
{
    explicit WindowSteps(const core::CycleMediator& mediator)
        : real(std::make_unique<core::MainComponents>(mediator))
    {
    }

    std::deque<std::string> pages; // answers of FetchStatusPage, the last one repeated
    bool hangInFetch = false;      // a fetch waits until AbortNetwork
    int fetches = 0;
    int aborts = 0;
    int closingRuns = 0;
    bool navigating = false; // a page load in progress, until CancelNavigation
    int cancels = 0;
    std::unique_ptr<core::MainComponents> real;

    std::string FetchStatusPage() override
    {
        ++fetches;
        if (hangInFetch) {
            const int before = aborts;
            platform::WaitUntil([&] { return aborts > before; }, 10000);
            return {};
        }
        if (pages.empty())
            return {};
        std::string page = pages.front();
        if (pages.size() > 1)
            pages.pop_front();
        return page;
    }
    bool Navigating() const override { return navigating; }
    void CancelNavigation() override
    {
        ++cancels;
        navigating = false;
    }
    std::string FetchSecondAddress() override { return {}; }
    std::string FetchPublishedPage() override { return {}; }
    std::string LookupHostName(const std::string&) override { return {}; }
    bool UploadPages(bool) override { return true; }
    void SendNoticeMail(std::int32_t, const std::string&) override {}
    void AbortNetwork() override { ++aborts; }
    void RunClosingUpload() override
    {
        ++closingRuns;
        real->RunClosingUpload();
    }
};

class MainWindowFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        settings::TConfig config;
        settings::LoadSettings(config, nullptr);
        config.FtpUpload = 0;
        config.MailNotice = 1;
        config.SmtpServer = "127.0.0.1";
        config.MailAddress = "owner@example.test";
        config.GlobalIPAuto = 1;
        config.LeavePlural = 1;
        config.ShowWindow = 1;
        config.AutoRun = 0;
        config.RecLog = 0;
        config.ClosedUse = 0;
        config.Interval = 30;
        edit(config);
        settings::SaveSettings(config, settings::SaveScope::All);
    }

    void TearDown() override
    {
        window.reset();
        cycle.reset();
    }

    virtual void edit(settings::TConfig&) {}

    // The cycle and the window, and the window's start-up.
    void create()
    {
        cycle = std::make_unique<core::CheckCycle>(log, ui, [this](const core::CycleMediator& m) {
            auto s = std::make_unique<WindowSteps>(m);
            steps = s.get();
            steps->pages = nextPages;
            return s;
        });
        cycle->SetLockFolder(folder.path());
        window = std::make_unique<gui::TfrmMain>(*cycle, log, ui, [this] { return trayAvailable; });
        ASSERT_TRUE(window->FormCreate());
        // What the start-up told the user interface is not what the tests look at.
        ui.Clear();
    }

    template <typename T> T* child(const char* name) const
    {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QAction* action(const char* name) const { return child<QAction>(name); }

    // The left button on the tray icon.
    void clickTray() { emit window->Tray().Icon().activated(QSystemTrayIcon::Trigger); }

    static bool waitFor(const std::function<bool()>& done, int ms = 5000)
    {
        return platform::WaitUntil(done, ms) == platform::WaitResult::Done;
    }

    TempFolder folder;
    core::OperationLog log;
    platform::ScriptedUserInterface ui;
    bool trayAvailable = true;
    std::deque<std::string> nextPages;
    std::unique_ptr<core::CheckCycle> cycle;
    std::unique_ptr<gui::TfrmMain> window;
    WindowSteps* steps = nullptr;
};

} // namespace testsupport
