#pragma once
// The program's icon in the desktop's notification area. Some desktops have no tray at all (GNOME
// without its extension) and at login the tray may appear a little after the program starts, so the
// icon keeps looking for one for a while after start; whoever shows the window asks Available()
// before hiding it, so the program is never running and out of reach.

#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>

class QMenu;

namespace gui {

class TrayIcon : public QObject
{
    Q_OBJECT
public:
    // Whether the desktop has a tray now; QSystemTrayIcon::isSystemTrayAvailable unless a test
    // gives another answer.
    using Availability = std::function<bool()>;

    TrayIcon(QMenu* menu, Availability available, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Adds the icon. Without a tray it looks again every retryMs, retries times, and shows the
    // icon as soon as one appears.
    void Add();
    // Takes the icon away and stops looking for a tray.
    void Remove();
    // The icon is in a tray now.
    bool Available() const { return m_available; }

    void SetPicture(const QIcon& icon, const QString& tip);

    // How often and how long to look for a late tray (the program: every 2 s for 30 s).
    void SetRetry(int retryMs, int retries);

    QSystemTrayIcon& Icon() { return m_icon; }

signals:
    // The left button was pressed on the icon.
    void clicked();
    // A tray appeared after the start and now shows the icon.
    void becameAvailable();

private:
    void Retry();

    QSystemTrayIcon m_icon;
    Availability m_availableNow;
    QTimer m_retryTimer;
    int m_retriesLeft = 0;
    int m_retries = 15;
    bool m_available = false;
    bool m_added = false;
};

} // namespace gui
