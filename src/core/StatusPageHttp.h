#pragma once
// The status page loaded with an HTTP client: credentials by HTTP basic (or digest) authentication when
// the router asks, POST data when configured, "pragma: nocache", no cache, at most five redirects, no
// proxy (the router is on the local network), and answers cut at kMaxStatusPageBytes.

#include "core/StatusPageFetcher.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QSet>
#include <QUrl>

class QNetworkReply;

namespace core {

class HttpStatusFetcher final : public QObject, public StatusPageFetcher
{
public:
    explicit HttpStatusFetcher(QObject* parent = nullptr);
    ~HttpStatusFetcher() override;

    void Navigate(const StatusRequest& request) override;
    bool Busy() const override { return m_reply != nullptr; }
    void Stop() override;
    std::string BodyHtml() const override { return m_body; }
    FetchOutcome Outcome() const override { return m_outcome; }

private:
    void ReadAvailable();
    void Finish();
    void Release();

    QNetworkAccessManager m_manager;
    QNetworkReply* m_reply = nullptr;
    StatusRequest m_request;
    QSet<QUrl> m_credentialsGiven; // addresses the credentials were offered to in this load
    QByteArray m_data;
    std::string m_body;
    FetchOutcome m_outcome;
};

} // namespace core
