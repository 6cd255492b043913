#pragma once
// The settings dialog under test as the main window will hold it: the real check cycle with its real
// network components lends its one settings object (loaded from a temporary program folder), and the
// dialog's host reads the status page through the cycle. The dialog is filled and shown without the
// modal loop, so each test drives the real widgets directly.

#include "core/OperationLog.h"
#include "cycle/CheckCycle.h"
#include "cycle/MainComponents.h"
#include "gui/ConfigDialogHost.h"
#include "gui/TfrmConfig.h"
#include "platform/Codepage.h"
#include "platform/ScriptedUserInterface.h"
#include "settings/SettingsTestUtil.h"
#include "support/TempFolder.h"
#include "text/Sjis.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QHostInfo>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace gui {

struct TfrmConfigTestAccess
{
    static void BeginEditing(TfrmConfig& dialog, settings::TConfig& config) { dialog.BeginEditing(config); }
    static void EndEditing(TfrmConfig& dialog) { dialog.EndEditing(); }
    static void SetResolver(TfrmConfig& dialog, netinfo::HostResolver* resolver)
    {
        dialog.m_resolver = resolver;
    }
    static bool Saved(const TfrmConfig& dialog) { return dialog.m_saved; }
};

} // namespace gui

namespace configtest {

using platform::ScriptedUserInterface;

inline std::string S(std::u8string_view utf8)
{
    return text::Sjis(utf8);
}

// The main window's part: the status page through the lent settings of the cycle.
class CycleHost final : public gui::ConfigDialogHost
{
public:
    explicit CycleHost(core::CheckCycle& cycle) : m_cycle(cycle) {}
    bool FetchStatusPageForTest() override
    {
        ++fetches;
        return m_cycle.FetchStatusPageForSettings();
    }
    std::string StatusHtml() const override { return *m_cycle.View().StatusPage; }
    int fetches = 0;

private:
    core::CheckCycle& m_cycle;
};

// Answers every reverse look-up with one name, from the event loop, as a real resolver does; an
// empty name: the address has none.
class OneNameResolver final : public netinfo::HostResolver
{
public:
    explicit OneNameResolver(QString name) : m_name(std::move(name)) {}
    bool Start(const QString& text, bool, QObject* context, Done done, int&) override
    {
        ++lookups;
        asked = text;
        QHostInfo info;
        if (m_name.isEmpty())
            info.setError(QHostInfo::HostNotFound);
        else
            info.setHostName(m_name);
        info.setAddresses({QHostAddress(text)});
        QTimer::singleShot(0, context, [done, info] { done(info); });
        return true;
    }
    int lookups = 0;
    QString asked;

private:
    QString m_name;
};

class ConfigDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(folder.file(QStringLiteral("www"))));
        settings::TConfig config;
        settings::LoadSettings(config, nullptr);
        config.ReplaceFolder = folder.filePath(QStringLiteral("www"));
        config.ReplaceLink = "/var/www/html";
        config.FtpServer = "127.0.0.1";
        config.SmtpServer = "127.0.0.1";
        config.MailAddress = "owner@example.test";
        config.MailNotice = 1;
        config.GatewayAuto = 0;
        config.GatewayIP = "127.0.0.1:9";
        edit(config);
        settings::SaveSettings(config, settings::SaveScope::All);
    }
    void TearDown() override { close(); }

    // Ends the dialog and gives the settings back, as the main window does.
    void close()
    {
        if (dialog)
            gui::TfrmConfigTestAccess::EndEditing(*dialog);
        dialog.reset();
        host.reset();
        if (cycle)
            cycle->ReturnSettings(false);
        cycle.reset();
        config = nullptr;
    }

    // The settings file the test starts from.
    virtual void edit(settings::TConfig&) {}

    // The cycle starts, lends its settings (changed by change, in memory only) to a new dialog,
    // which is filled, shown and activated.
    void open(const std::function<void(settings::TConfig&)>& change = {})
    {
        close();
        cycle = std::make_unique<core::CheckCycle>(log, cycleUi, [](const core::CycleMediator& m) {
            return std::make_unique<core::MainComponents>(m);
        });
        cycle->SetLockFolder(folder.path());
        ASSERT_TRUE(cycle->FormCreate());
        config = cycle->LendSettings();
        ASSERT_NE(config, nullptr);
        if (change)
            change(*config);
        host = std::make_unique<CycleHost>(*cycle);
        dialog = std::make_unique<gui::TfrmConfig>(*host, ui);
        gui::TfrmConfigTestAccess::SetResolver(*dialog, &resolver);
        gui::TfrmConfigTestAccess::BeginEditing(*dialog, *config);
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        before = settingstest::Describe(*config, false);
        fileBefore = testsupport::ReadBytes(settingsFile());
    }

    template <typename T = QWidget> T* w(const char* name) const
    {
        T* found = dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit* box(const char* name) const { return w<QLineEdit>(name); }
    QAbstractButton* button(const char* name) const { return w<QAbstractButton>(name); }
    // Brings the page that holds the control to the front, as a user must before using it.
    void front(QWidget* control) const
    {
        auto* tabs = w<QTabWidget>("tabConfig");
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->widget(i)->isAncestorOf(control))
                tabs->setCurrentIndex(i);
    }
    void click(const char* name) const
    {
        QAbstractButton* b = button(name);
        front(b);
        // A check box or radio button answers a click on its mark or caption only, not on the empty
        // width a layout gives it.
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(std::min(8, b->width() / 2), b->height() / 2));
    }
    void type(const char* name, const QString& text) const
    {
        QLineEdit* b = box(name);
        front(b);
        b->setFocus();
        b->selectAll();
        bool ascii = true;
        for (const QChar c : text)
            ascii = ascii && c.unicode() < 0x80;
        if (text.isEmpty())
            QTest::keyClick(b, Qt::Key_Delete);
        else if (ascii)
            QTest::keyClicks(b, text);
        else
            b->insert(text); // as an input method hands over Japanese text
    }
    // Runs body on the next modal dialog that opens (the next click's), once it is shown; body must
    // close it. Polls, since a page may be read before the dialog opens.
    void onNextModal(std::function<void(QDialog&)> body)
    {
        auto* poll = new QTimer(dialog.get());
        auto tries = std::make_shared<int>(0);
        QObject::connect(poll, &QTimer::timeout, poll, [poll, tries, body = std::move(body)] {
            auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!modal && ++*tries < 1000)
                return;
            poll->stop();
            poll->deleteLater();
            if (!modal) {
                ADD_FAILURE() << "no modal dialog opened";
                return;
            }
            body(*modal);
            if (modal->isVisible()) {
                ADD_FAILURE() << "the test left the modal dialog open";
                modal->reject();
            }
        });
        poll->start(10);
    }
    QWidget* currentPage() const { return w<QTabWidget>("tabConfig")->currentWidget(); }
    QWidget* focused() const { return QApplication::focusWidget(); }

    QString settingsFile() const { return folder.file(QStringLiteral("Quillmap.ini")); }
    bool settingsUnchanged() const { return settingstest::Describe(*config, false) == before; }
    bool fileUnchanged() const { return testsupport::ReadBytes(settingsFile()) == fileBefore; }

    // The calls of the given kind the dialog made, their texts as UTF-8.
    std::vector<std::string> shown(ScriptedUserInterface::Kind kind) const
    {
        std::vector<std::string> texts;
        for (const auto& call : ui.Calls())
            if (call.kind == kind)
                texts.push_back(platform::Cp932ToUtf8(call.text));
        return texts;
    }
    std::vector<std::string> warnings() const { return shown(ScriptedUserInterface::Kind::Warning); }
    std::vector<std::string> informations() const { return shown(ScriptedUserInterface::Kind::Information); }

    testsupport::TempFolder folder;
    core::OperationLog log;
    ScriptedUserInterface cycleUi;
    ScriptedUserInterface ui;
    OneNameResolver resolver{QStringLiteral("wan.example.test")};
    std::unique_ptr<core::CheckCycle> cycle;
    std::unique_ptr<CycleHost> host;
    std::unique_ptr<gui::TfrmConfig> dialog;
    settings::TConfig* config = nullptr;
    std::vector<std::string> before;
    std::string fileBefore;
};

} // namespace configtest
