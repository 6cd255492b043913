#include "engine/EngineStatusFetcher.h"

#include "core/StatusPageBody.h"
#include "platform/Codepage.h"

#include <QAuthenticator>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include <algorithm>

namespace engine {

namespace {

// How often, and how many times, the frames are asked whether they are complete after the top
// document has loaded (the engine usually reports the load only when they are).
constexpr int kFrameCheckMs = 100;
constexpr int kMaxFrameChecks = 100;
// How long a load waits at most for the end of the stopped one before it.
constexpr int kStopWaitMs = 1000;

// Every frame that the page's own scripts could reach (same origin) has finished loading.
const QString kFramesComplete = QStringLiteral(R"JS((function () {
  function complete(w) {
    var d;
    try { d = w.document; } catch (e) { return true; }
    if (!d || d.readyState !== 'complete') return false;
    for (var i = 0; i < w.frames.length; ++i)
      if (!complete(w.frames[i])) return false;
    return true;
  }
  return complete(window);
})())JS");

// The body of the document as it now is, followed by the bodies of its frames in document order: in a
// frameset page the address stands in an inner frame. A document without a body gives its root.
const QString kReadBodies = QStringLiteral(R"JS((function () {
  var parts = [];
  function read(w) {
    var d;
    try { d = w.document; } catch (e) { return; }
    if (!d) return;
    var b = d.body || d.documentElement;
    if (b) parts.push(b.outerHTML);
    for (var i = 0; i < w.frames.length; ++i) read(w.frames[i]);
  }
  read(window);
  return parts.join('\n');
})())JS");

// Put into every document before its own scripts run: keeps count of the page's requests
// (XMLHttpRequest, fetch, script elements and frames added to the document) and short timers that
// have not ended, and of the time of the last change of the document or of those. Timers longer than
// the longest settle time cannot matter and are not counted.
const QString kSettleWatch = QStringLiteral(R"JS((function () {
  if (window.__quillmapSettle) return;
  var pending = 0, last = performance.now();
  function touch() { last = performance.now(); }
  function begin() { ++pending; touch(); }
  function end() { if (pending > 0) --pending; touch(); }
  var setT = window.setTimeout, clearT = window.clearTimeout, live = {};
  window.setTimeout = function (fn, ms) {
    if (typeof fn !== 'function' || (+ms || 0) > %1) return setT.apply(window, arguments);
    var args = Array.prototype.slice.call(arguments, 2), id;
    id = setT(function () { if (live[id]) { delete live[id]; end(); } fn.apply(window, args); }, ms);
    live[id] = true; begin();
    return id;
  };
  window.clearTimeout = function (id) { if (live[id]) { delete live[id]; end(); } return clearT(id); };
  var send = XMLHttpRequest.prototype.send;
  XMLHttpRequest.prototype.send = function () {
    begin();
    this.addEventListener('loadend', end);
    return send.apply(this, arguments);
  };
  if (window.fetch) {
    var f = window.fetch;
    window.fetch = function () {
      begin();
      return f.apply(window, arguments).finally(end);
    };
  }
  // A script or a frame that a script adds loads its source after the document has loaded.
  function watchLoad(node) {
    var tag = node.tagName;
    if (!((tag === 'SCRIPT' && node.src) || tag === 'IFRAME' || tag === 'FRAME')) return;
    var done = false;
    function finish() { if (!done) { done = true; end(); } }
    begin();
    node.addEventListener('load', finish);
    node.addEventListener('error', finish);
  }
  new MutationObserver(function (records) {
    touch();
    for (var r = 0; r < records.length; ++r)
      for (var i = 0; i < records[r].addedNodes.length; ++i) watchLoad(records[r].addedNodes[i]);
  }).observe(document, { childList: true, subtree: true, characterData: true, attributes: true });
  Object.defineProperty(window, '__quillmapSettle', { value: function () {
    return [pending, performance.now() - last];
  } });
})())JS");

// What is pending in the document and its frames, and how long the least quiet of them has been
// quiet: [pending, quietMs]; nothing when the watch is in none of them.
const QString kSettleState = QStringLiteral(R"JS((function () {
  var pending = 0, quiet = 1e9, watched = false;
  function walk(w) {
    try {
      if (w.__quillmapSettle) {
        var s = w.__quillmapSettle();
        pending += s[0]; quiet = Math.min(quiet, s[1]); watched = true;
      }
    } catch (e) { return; }
    for (var i = 0; i < w.frames.length; ++i) walk(w.frames[i]);
  }
  walk(window);
  return watched ? [pending, quiet] : null;
})())JS");

bool SameServer(const QUrl& a, const QUrl& b)
{
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(80) == b.port(80);
}

// Nothing of the page reaches the person: no message boxes of its scripts, no console output.
class SilentPage final : public QWebEnginePage
{
public:
    SilentPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {}

protected:
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override { return false; }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override
    {
    }
};

} // namespace

EngineStatusFetcher::EngineStatusFetcher(QObject* parent) : QObject(parent)
{
    MakePage();
    m_stopWait.setSingleShot(true);
    connect(&m_stopWait, &QTimer::timeout, this, [this] { StartPendingLoad(); });
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_phase == Phase::Frames)
            CheckFrames();
        else if (m_phase == Phase::Settling)
            CheckSettled();
    });
}

EngineStatusFetcher::~EngineStatusFetcher()
{
    Stop();
    m_page.reset();
}

void EngineStatusFetcher::MakePage()
{
    // A profile of its own that keeps nothing: no cache, no cookies on disk, nothing shared with
    // other pages of the program. It does remember credentials that worked, for the rest of its
    // life; so a new one is made whenever the credentials of the settings change, lest a password
    // that is no longer in the settings still opens the page.
    m_stopping = false;
    std::unique_ptr<QWebEngineProfile> oldProfile = std::move(m_profile);
    std::unique_ptr<QWebEnginePage> oldPage = std::move(m_page);
    m_profile = std::make_unique<QWebEngineProfile>();
    m_profile->setHttpCacheType(QWebEngineProfile::NoCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_page = std::make_unique<SilentPage>(m_profile.get(), nullptr);

    QWebEngineSettings* settings = m_page->settings();
    settings->setAttribute(QWebEngineSettings::AutoLoadImages, true);
    // The router's icon would be one more request, made after the page has loaded.
    settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    // A router that does not answer leaves no page, as with the HTTP client, rather than the engine's
    // own error page.
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);

    QWebEngineScript watch;
    watch.setName(QStringLiteral("quillmap-settle"));
    watch.setSourceCode(kSettleWatch.arg(kSettleMs));
    watch.setInjectionPoint(QWebEngineScript::DocumentCreation);
    // The page's own world: its timers and requests are the ones to watch.
    watch.setWorldId(QWebEngineScript::MainWorld);
    watch.setRunsOnSubFrames(true);
    m_page->scripts().insert(watch);

    // A view that shows or hides the page meanwhile has the say over its visibility after the load.
    connect(m_page.get(), &QWebEnginePage::visibleChanged, this, [this] {
        if (!m_changingVisibility)
            m_hideAfterLoad = false;
    });
    connect(m_page.get(), &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) { LoadingChanged(info); });
    // A renderer that dies would leave the load (and the scripts that read it) without an answer.
    connect(m_page.get(), &QWebEnginePage::renderProcessTerminated, this, [this] {
        if (m_phase == Phase::Idle)
            return;
        ++m_load;
        m_timer.stop();
        EndLoad();
        m_body.clear();
        m_outcome.error = QStringLiteral("the browser engine's renderer ended");
    });
    connect(m_page.get(), &QWebEnginePage::authenticationRequired, this,
            [this](const QUrl& url, QAuthenticator* authenticator) {
                // The credentials are offered once per address, and only to the router itself; when
                // it refuses them its refusal page is read like any page.
                if (m_phase == Phase::Idle || !m_request.logon || m_credentialsGiven.contains(url) ||
                    !SameServer(url, m_request.url)) {
                    *authenticator = QAuthenticator();
                    return;
                }
                m_credentialsGiven.insert(url);
                authenticator->setUser(m_request.user);
                authenticator->setPassword(m_request.password);
            });
    if (oldPage) {
        // A view that shows the page takes the new one before the old one goes.
        emit pageReplaced(m_page.get());
        oldPage.reset();
        oldProfile.reset();
    }
}

void EngineStatusFetcher::Navigate(const core::StatusRequest& request)
{
    Stop();
    ++m_load;
    if (m_pageUsed && (request.logon != m_request.logon || request.user != m_request.user ||
                       request.password != m_request.password))
        MakePage();
    m_pageUsed = true;
    m_request = request;
    m_credentialsGiven.clear();
    m_body.clear();
    m_outcome = core::FetchOutcome{};
    m_frameChecks = 0;
    m_page->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, !request.noScript);
    // The engine holds back the timers of a page nobody sees (to a wake-up a second): a page filled
    // by a timer would be filled a second late, or after the settle time. The status page is read as
    // if shown, also when no view shows it or the view is hidden in the tray; hidden again after.
    ShowPageForLoad();

    QWebEngineHttpRequest http(request.url, request.postData.isEmpty() ? QWebEngineHttpRequest::Get
                                                                       : QWebEngineHttpRequest::Post);
    http.setHeader("pragma", "nocache");
    if (!request.postData.isEmpty()) {
        http.setHeader("Content-Type", "application/x-www-form-urlencoded");
        http.setPostData(request.postData);
    }
    m_phase = Phase::Loading;
    if (m_stopping) {
        m_pendingLoad = http;
        m_stopWait.start(kStopWaitMs);
        return;
    }
    m_page->load(http);
}

void EngineStatusFetcher::ShowPageForLoad()
{
    if (m_page->isVisible())
        return;
    SetPageVisible(true);
    m_hideAfterLoad = true;
}

void EngineStatusFetcher::EndLoad()
{
    m_phase = Phase::Idle;
    if (m_hideAfterLoad)
        SetPageVisible(false);
    m_hideAfterLoad = false;
}

void EngineStatusFetcher::SetPageVisible(bool visible)
{
    // The change is ours, not a view's.
    m_changingVisibility = true;
    m_page->setVisible(visible);
    m_changingVisibility = false;
}

void EngineStatusFetcher::StartPendingLoad()
{
    m_stopping = false;
    m_stopWait.stop();
    if (!m_pendingLoad)
        return;
    const QWebEngineHttpRequest http = *m_pendingLoad;
    m_pendingLoad.reset();
    m_page->load(http);
}

void EngineStatusFetcher::Stop()
{
    if (m_phase == Phase::Idle)
        return;
    ++m_load;
    m_timer.stop();
    m_pendingLoad.reset();
    if (m_phase == Phase::Loading)
        m_stopping = true;
    EndLoad();
    m_page->triggerAction(QWebEnginePage::Stop);
    m_body.clear();
    m_outcome.stopped = true;
}

void EngineStatusFetcher::LoadingChanged(const QWebEngineLoadingInfo& info)
{
    if (m_stopping) {
        // The end of the stopped load: now the next one may start.
        if (info.status() != QWebEngineLoadingInfo::LoadStartedStatus)
            StartPendingLoad();
        return;
    }
    // The load ends (the top document with its frames) as succeeded or failed; a stop is ours.
    if (m_phase != Phase::Loading || (info.status() != QWebEngineLoadingInfo::LoadSucceededStatus &&
                                      info.status() != QWebEngineLoadingInfo::LoadFailedStatus))
        return;
    // The engine gives the answer's status in the place of an error code.
    if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
        m_outcome.httpStatus = info.errorCode();
    } else if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
        // An answer with an error status is a page all the same (a refusal page is read like any
        // page); a load that got no answer at all leaves nothing.
        m_outcome.error = info.errorString();
        EndLoad();
        return;
    }
    m_phase = Phase::Frames;
    CheckFrames();
}

void EngineStatusFetcher::CheckFrames()
{
    const quint64 load = m_load;
    m_page->runJavaScript(kFramesComplete, QWebEngineScript::ApplicationWorld,
                          [this, load](const QVariant& v) {
                              if (load != m_load || m_phase != Phase::Frames)
                                  return;
                              if (!v.toBool() && ++m_frameChecks < kMaxFrameChecks) {
                                  m_timer.start(kFrameCheckMs);
                                  return;
                              }
                              StartSettling();
                          });
}

void EngineStatusFetcher::StartSettling()
{
    // Scripts that fill the page after it has loaded get their time; without scripts there is
    // nothing to wait for.
    m_phase = Phase::Settling;
    if (m_request.noScript || SettleMs <= 0) {
        ReadBody();
        return;
    }
    m_settling.start();
    CheckSettled();
}

void EngineStatusFetcher::CheckSettled()
{
    const quint64 load = m_load;
    m_page->runJavaScript(kSettleState, QWebEngineScript::MainWorld, [this, load](const QVariant& v) {
        if (load != m_load || m_phase != Phase::Settling)
            return;
        const QVariantList state = v.toList();
        // A page whose state cannot be read (the watch did not run) gets the whole settle time.
        const bool settled = state.size() == 2 && state[0].toInt() == 0 && state[1].toDouble() >= QuietMs;
        const qint64 left = SettleMs - m_settling.elapsed();
        if (settled || left <= 0) {
            ReadBody();
            return;
        }
        m_timer.start(static_cast<int>(std::min<qint64>(left, kSettlePollMs)));
    });
}

void EngineStatusFetcher::ReadBody()
{
    m_phase = Phase::Reading;
    const quint64 load = m_load;
    m_page->runJavaScript(kReadBodies, QWebEngineScript::ApplicationWorld, [this, load](const QVariant& v) {
        if (load != m_load || m_phase != Phase::Reading)
            return;
        Done(v.toString());
    });
}

void EngineStatusFetcher::Done(const QString& markup)
{
    m_body = platform::QStringToCp932(markup);
    if (m_body.size() > core::kMaxStatusPageBytes) {
        m_body.resize(core::kMaxStatusPageBytes);
        m_outcome.truncated = true;
    }
    EndLoad();
}

} // namespace engine
