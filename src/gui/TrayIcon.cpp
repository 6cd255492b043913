#include "gui/TrayIcon.h"

#include <QMenu>

namespace gui {

TrayIcon::TrayIcon(QMenu* menu, Availability available, QObject* parent)
    : QObject(parent),
      m_availableNow(available ? std::move(available) : &QSystemTrayIcon::isSystemTrayAvailable)
{
    m_icon.setObjectName(QStringLiteral("TrayIcon"));
    // The right button opens the menu where the pointer is; the menu closes when the user clicks
    // elsewhere, as every tray menu does.
    m_icon.setContextMenu(menu);
    connect(&m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            emit clicked();
    });
    m_retryTimer.setInterval(2000);
    connect(&m_retryTimer, &QTimer::timeout, this, &TrayIcon::Retry);
}

TrayIcon::~TrayIcon()
{
    Remove();
}

void TrayIcon::SetRetry(int retryMs, int retries)
{
    m_retryTimer.setInterval(retryMs);
    m_retries = retries;
}

void TrayIcon::Add()
{
    m_added = true;
    m_available = m_availableNow();
    if (m_available) {
        m_icon.show();
        return;
    }
    m_retriesLeft = m_retries;
    if (m_retriesLeft > 0)
        m_retryTimer.start();
}

void TrayIcon::Remove()
{
    m_added = false;
    m_retryTimer.stop();
    m_icon.hide();
    m_available = false;
}

void TrayIcon::Retry()
{
    if (!m_added) {
        m_retryTimer.stop();
        return;
    }
    if (m_availableNow()) {
        m_retryTimer.stop();
        m_available = true;
        m_icon.show();
        emit becameAvailable();
        return;
    }
    if (--m_retriesLeft <= 0)
        m_retryTimer.stop();
}

void TrayIcon::SetPicture(const QIcon& icon, const QString& tip)
{
    m_icon.setIcon(icon);
    m_icon.setToolTip(tip);
}

} // namespace gui

// The meta-object code of this file's classes is compiled here rather than with the rest of the
// library's, so that a program links only the windows it uses.
#include "moc_TrayIcon.cpp"
