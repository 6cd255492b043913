#include "core/StatusPageHttp.h"

#include "core/StatusPageBody.h"

#include <QAuthenticator>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace core {

namespace {

constexpr int kMaxRedirects = 5;

bool SameServer(const QUrl& a, const QUrl& b)
{
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(80) == b.port(80);
}

} // namespace

HttpStatusFetcher::HttpStatusFetcher(QObject* parent) : QObject(parent)
{
    m_manager.setProxy(QNetworkProxy::NoProxy);
    QObject::connect(&m_manager, &QNetworkAccessManager::authenticationRequired, this,
                     [this](QNetworkReply* reply, QAuthenticator* authenticator) {
                         // The credentials are offered once per address, and only to the router
                         // itself; when it refuses them its refusal page is read like any page.
                         if (reply != m_reply || !m_request.logon ||
                             m_credentialsGiven.contains(reply->url()) ||
                             !SameServer(reply->url(), m_request.url))
                             return;
                         m_credentialsGiven.insert(reply->url());
                         authenticator->setUser(m_request.user);
                         authenticator->setPassword(m_request.password);
                     });
}

HttpStatusFetcher::~HttpStatusFetcher()
{
    Stop();
}

void HttpStatusFetcher::Navigate(const StatusRequest& request)
{
    Stop();
    m_request = request;
    m_credentialsGiven.clear();
    m_data.clear();
    m_body.clear();
    m_outcome = FetchOutcome{};
    // Remembered credentials would hide a password that was changed in the settings meanwhile.
    m_manager.clearAccessCache();

    QNetworkRequest http(request.url);
    http.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    http.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    http.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    http.setMaximumRedirectsAllowed(kMaxRedirects);
    http.setRawHeader("pragma", "nocache");
    if (request.postData.isEmpty()) {
        m_reply = m_manager.get(http);
    } else {
        http.setHeader(QNetworkRequest::ContentTypeHeader,
                       QByteArrayLiteral("application/x-www-form-urlencoded"));
        m_reply = m_manager.post(http, request.postData);
    }
    QObject::connect(m_reply, &QNetworkReply::readyRead, this, [this] { ReadAvailable(); });
    QObject::connect(m_reply, &QNetworkReply::finished, this, [this] { Finish(); });
}

void HttpStatusFetcher::Stop()
{
    if (!m_reply)
        return;
    Release();
    m_data.clear();
    m_body.clear();
    m_outcome.stopped = true;
}

void HttpStatusFetcher::Release()
{
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    QObject::disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
}

void HttpStatusFetcher::ReadAvailable()
{
    if (!m_reply)
        return;
    const qint64 room = static_cast<qint64>(kMaxStatusPageBytes) - m_data.size();
    m_data += m_reply->read(room);
    if (m_data.size() < static_cast<qint64>(kMaxStatusPageBytes))
        return;
    if (m_reply->isFinished() && m_reply->bytesAvailable() == 0)
        return; // exactly full; the finished signal follows
    // Enough: the rest of the answer is not waited for.
    m_outcome.truncated = true;
    Finish();
}

void HttpStatusFetcher::Finish()
{
    if (!m_reply)
        return;
    if (!m_outcome.truncated) {
        const qint64 room = static_cast<qint64>(kMaxStatusPageBytes) - m_data.size();
        m_data += m_reply->read(room);
        m_outcome.truncated = m_reply->bytesAvailable() > 0;
    }
    m_outcome.httpStatus = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_reply->error() != QNetworkReply::NoError && !m_outcome.truncated)
        m_outcome.error = m_reply->errorString();
    const QByteArray contentType = m_reply->rawHeader("Content-Type");
    // Such a page may get its address only from its scripts, which this client does not run.
    m_outcome.scripts = m_data.toLower().contains("<script");
    Release();
    // An error page is read like any page; a transfer that gave nothing leaves nothing.
    if (!m_data.isEmpty())
        m_body = StatusBodyFromResponse(
            std::string_view(m_data.constData(), static_cast<size_t>(m_data.size())),
            std::string_view(contentType.constData(), static_cast<size_t>(contentType.size())));
    m_data.clear();
}

} // namespace core
