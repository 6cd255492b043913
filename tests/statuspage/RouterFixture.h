#pragma once
// The router simulator (tests/servers/router.py) for the status page tests.

#include "platform/WaitLoop.h"
#include "settings/ConfigUnit.h"
#include "support/ServerProcess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace routertest {

inline const char* kStatusPath = "/cgi-bin/main.cgi?cc_webname=STATUS";
inline const char* kWan = "203.0.113.45";

class Router
{
public:
    explicit Router(const QStringList& args = {})
    {
        m_ok = m_server.startPython(QStringLiteral("router.py"), args);
        if (!m_ok)
            ADD_FAILURE() << m_server.error().toStdString();
    }
    bool ok() const { return m_ok; }
    std::string host() const { return "127.0.0.1:" + std::to_string(m_server.port()); }
    quint16 port() const { return m_server.port(); }

    // Settings that fetch the given path of this router with its default credentials.
    settings::TConfig Settings(const std::string& path = kStatusPath) const
    {
        settings::TConfig config;
        config.GatewayAuto = 0;
        config.GatewayIP = host();
        config.StatusURL = path;
        config.StatusLogon = 1;
        config.StatusUser = "root";
        config.StatusPass = "kiwi";
        config.GlobalIPAuto = 1;
        config.TimeOut = 1;
        return config;
    }

    // A request to the simulator's control pages (no authentication), answered within 10 s.
    QByteArray Control(const QString& pathAndQuery) const { return m_server.httpGet(pathAndQuery); }

    // The request before the last control request, as the simulator saw it.
    QJsonObject LastRequest() const
    {
        return QJsonDocument::fromJson(Control(QStringLiteral("/_control/last"))).object();
    }

private:
    testsupport::ServerProcess m_server;
    bool m_ok = false;
};

} // namespace routertest
