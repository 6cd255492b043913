#include "gui/GuiUserInterface.h"

#include "gui/QtText.h"
#include "platform/Shell.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace gui {

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
    return QMessageBox::question(BoxParent(), Qs(caption), Qs(text), QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

bool GuiUserInterface::AskTrustCertificate(const std::string& text, const std::string& caption)
{
    // A warning, with No as the default: a hasty Enter must not trust a stranger's certificate.
    return QMessageBox::warning(BoxParent(), Qs(caption), Qs(text), QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

void GuiUserInterface::SetStatusText(const std::string& text)
{
    if (m_statusSink)
        m_statusSink(text);
}

bool GuiUserInterface::OpenDocument(const std::string& path)
{
    return platform::OpenWithDefaultHandler(Qs(path));
}

void GuiUserInterface::SetMonitoring(bool running)
{
    if (m_monitoringSink)
        m_monitoringSink(running);
}

} // namespace gui
