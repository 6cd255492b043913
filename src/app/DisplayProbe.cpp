#include "app/DisplayProbe.h"

#include <QByteArray>
#include <QList>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstring>

namespace app {

namespace {

bool XServerAnswers(const QByteArray& display)
{
    xcb_connection_t* connection = xcb_connect(display.constData(), nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

// A Wayland compositor takes clients on a local socket without any set-up of its own: a refused or
// missing socket is all that can go wrong before the protocol starts.
bool CompositorAnswers(const QByteArray& name)
{
    // Without a name the compositor's clients use the first socket, as Qt's Wayland plugin does.
    QByteArray path = name.isEmpty() ? QByteArrayLiteral("wayland-0") : name;
    if (!path.startsWith('/')) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (runtime.isEmpty())
            return false;
        path = runtime + '/' + path;
    }
    sockaddr_un address{};
    if (static_cast<size_t>(path.size()) >= sizeof(address.sun_path))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool answers = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return answers;
}

// The platforms named by QT_QPA_PLATFORM ("xcb", "wayland;xcb", "offscreen", "xcb:option=..."):
// whether all of them are ones this probe can judge.
bool OnlyJudgedPlatforms(const QByteArray& platforms, bool& wantsX, bool& wantsWayland)
{
    for (const QByteArray& entry : platforms.split(';')) {
        const QByteArray name = entry.split(':').first().trimmed();
        if (name == "xcb")
            wantsX = true;
        else if (name.startsWith("wayland"))
            wantsWayland = true;
        else if (!name.isEmpty())
            return false;
    }
    return true;
}

} // namespace

DisplayProbe ProbeDisplay()
{
    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    bool wantsX = !display.isEmpty();
    bool wantsWayland = !wayland.isEmpty();
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty()) {
        wantsX = wantsWayland = false;
        if (!OnlyJudgedPlatforms(platform, wantsX, wantsWayland))
            return {DisplayReach::kReachable, {}};
    }
    // Qt's X platform without DISPLAY has nothing to connect to; its Wayland platform falls back on
    // the compositor's first socket.
    wantsX = wantsX && !display.isEmpty();
    if (!wantsX && !wantsWayland)
        return {DisplayReach::kNoneNamed, {}};
    if ((wantsX && XServerAnswers(display)) || (wantsWayland && CompositorAnswers(wayland)))
        return {DisplayReach::kReachable, {}};
    std::string named;
    if (wantsX)
        named = "DISPLAY=" + display.toStdString();
    if (wantsWayland)
        named += (named.empty() ? "" : ", ") + ("WAYLAND_DISPLAY=" + wayland.toStdString());
    return {DisplayReach::kUnreachable, named};
}

} // namespace app
