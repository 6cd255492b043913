#pragma once
// What the status page retrieval needs of the thing that loads the router's page: start a load, tell
// whether it is still loading, stop it, and give the body markup of the page once it has loaded. The
// HTTP client (StatusPageHttp) is one such thing; a browser engine that also shows the page can be
// another, without changes to the callers.

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <string>

namespace core {

struct StatusRequest
{
    QUrl url;           // without user information
    bool logon = false; // send user and password when the router asks for them
    QString user;
    QString password;
    QByteArray postData; // sent with POST when not empty, else the page is fetched with GET
    bool noScript = false; // a browser engine runs no scripts of the page (an HTTP client runs none anyway)
};

// How the last load ended, for messages to the person at the terminal.
struct FetchOutcome
{
    int httpStatus = 0;     // 0 when no answer arrived
    bool truncated = false; // the answer was cut at kMaxStatusPageBytes
    bool stopped = false;   // ended by Stop before it completed
    QString error;          // the network error, empty when the transfer itself went well
    bool scripts = false;   // the answer holds a <script> element (its page may be built by scripts)
};

class StatusPageFetcher
{
public:
    virtual ~StatusPageFetcher() = default;

    // Starts loading and returns at once; a load in progress is stopped first.
    virtual void Navigate(const StatusRequest& request) = 0;
    // True while a load started by Navigate has not completed.
    virtual bool Busy() const = 0;
    // Ends any load at once; its page is then not delivered.
    virtual void Stop() = 0;
    // The body markup (code page 932) of the page whose load completed last; empty when the last load
    // was stopped or gave nothing.
    virtual std::string BodyHtml() const = 0;
    virtual FetchOutcome Outcome() const = 0;
};

} // namespace core
