#include "gui/GuiUserInterface.h"

#include "core/Version.h"
#include "gui/QtText.h"
#include "platform/Shell.h"
#include "text/Sjis.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace gui {

namespace {

// A question of the program: its text is Japanese whatever the desktop's language, so its buttons
// are too.
bool AskJapanese(QWidget* parent, QMessageBox::Icon icon, const std::string& caption, const std::string& text,
                 QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, Qs(caption), Qs(text), QMessageBox::Yes | QMessageBox::No, parent);
    box.button(QMessageBox::Yes)->setText(J(u8"はい(&Y)"));
    box.button(QMessageBox::No)->setText(J(u8"いいえ(&N)"));
    box.setDefaultButton(defaultButton);
    return box.exec() == QMessageBox::Yes;
}

} // namespace

QWidget* GuiUserInterface::BoxParent() const
{
    // A box asked for while a dialog is open belongs over that dialog, or it would open behind it.
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (m_parent && m_parent->isVisible())
        return m_parent;
    return nullptr;
}

void GuiUserInterface::ShowWarning(const std::string& text, const std::string& caption)
{
    QMessageBox::warning(BoxParent(), Qs(caption), Qs(text), QMessageBox::Ok);
}

void GuiUserInterface::ShowInformation(const std::string& text, const std::string& caption)
{
    QMessageBox::information(BoxParent(), Qs(caption), Qs(text), QMessageBox::Ok);
}

bool GuiUserInterface::ShowInformationWithDetails(const std::string& text, const std::string& caption)
{
    QMessageBox box(QMessageBox::Information, Qs(caption), Qs(text), QMessageBox::Ok, BoxParent());
    const QAbstractButton* details = box.addButton(J(u8"詳細"), QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return box.clickedButton() == details;
}

void GuiUserInterface::ShowMessage(const std::string& text, const std::string& caption)
{
    QMessageBox box(QMessageBox::NoIcon, Qs(caption), Qs(text), QMessageBox::Ok, BoxParent());
    box.exec();
}

bool GuiUserInterface::AskYesNo(const std::string& text, const std::string& caption)
{
    // Yes is the default button, as the desktop's confirmation boxes have it.
    return AskJapanese(BoxParent(), QMessageBox::Question, caption, text, QMessageBox::Yes);
}

bool GuiUserInterface::AskTrustCertificate(const std::string& text, const std::string& caption)
{
    // A warning, with No as the default: a hasty Enter must not trust a stranger's certificate.
    return AskJapanese(BoxParent(), QMessageBox::Warning, caption, text, QMessageBox::No);
}

void GuiUserInterface::SetStatusText(const std::string& text)
{
    if (m_statusSink)
        m_statusSink(text);
}

bool GuiUserInterface::OpenDocument(const std::string& path)
{
    // The handler may fail after it started (no application for the file): that is told here, with
    // the file's name, since the caller has gone on by then.
    return platform::OpenWithDefaultHandler(Qs(path), [this, path](int exitCode) {
        if (exitCode == 0)
            return;
        ShowWarning(path + "\r\n" + text::Sjis(u8"を開けませんでした(xdg-open の終了ｺｰﾄﾞ ") +
                        std::to_string(exitCode) + ")",
                    core::kProgramTitle);
    });
}

void GuiUserInterface::SetMonitoring(bool running)
{
    if (m_monitoringSink)
        m_monitoringSink(running);
}

} // namespace gui
