#pragma once
// The status page loaded in a browser engine (Qt WebEngine): the page's scripts run (unless the
// request says not to), frames load, and what is read is the body as the finished document holds it,
// once the page has settled: no request of its scripts and no short timer of theirs is pending, and
// the document has not changed for a quiet time; at most SettleMs after the load. The same request as the
// HTTP client's: credentials when the router asks for them, POST data, "pragma: nocache", no cache.
//
// No placeholder document is needed: the engine starts with an empty page of its own, and every load
// is a fresh navigation.

#include "core/StatusPageFetcher.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <QWebEngineHttpRequest>
#include <memory>
#include <optional>

class QWebEngineProfile;
class QWebEnginePage;
class QWebEngineLoadingInfo;

namespace engine {

class EngineStatusFetcher final : public QObject, public core::StatusPageFetcher
{
    Q_OBJECT
public:
    // How long scripts may go on filling the page after it has loaded, at most.
    static constexpr int kSettleMs = 1500;
    // How long the document must stay unchanged, with nothing pending, to count as settled: a page
    // whose script fills it in steps (a request, then its answer written) changes within this.
    static constexpr int kQuietMs = 200;
    // How often the page is asked whether it has settled.
    static constexpr int kSettlePollMs = 40;

    explicit EngineStatusFetcher(QObject* parent = nullptr);
    ~EngineStatusFetcher() override;

    void Navigate(const core::StatusRequest& request) override;
    bool Busy() const override { return m_phase != Phase::Idle; }
    void Stop() override;
    std::string BodyHtml() const override { return m_body; }
    core::FetchOutcome Outcome() const override { return m_outcome; }

    // The page the engine loads into, for a view that shows it live.
    QWebEnginePage* Page() const { return m_page.get(); }

    int SettleMs = kSettleMs;
    int QuietMs = kQuietMs;

signals:
    // The page was replaced by a new one (with a new profile, when the credentials changed); the old
    // one goes right after this signal.
    void pageReplaced(QWebEnginePage* page);

private:
    enum class Phase {
        Idle,
        Loading,  // until the top document has loaded
        Frames,   // until every frame's document is complete
        Settling, // scripts may still fill the page
        Reading,  // the body markup is being serialized
    };

    void MakePage();
    void StartPendingLoad();
    void LoadingChanged(const QWebEngineLoadingInfo& info);
    void CheckFrames();
    void StartSettling();
    void CheckSettled();
    void ReadBody();
    void Done(const QString& markup);
    // Makes a hidden page visible for the load; EndLoad hides it again, unless a view took over.
    void ShowPageForLoad();
    void EndLoad();
    void SetPageVisible(bool visible);

    // The page goes before its profile.
    std::unique_ptr<QWebEngineProfile> m_profile;
    std::unique_ptr<QWebEnginePage> m_page;
    Phase m_phase = Phase::Idle;
    // Answers of scripts that belong to a load that was stopped meanwhile are dropped.
    quint64 m_load = 0;
    core::StatusRequest m_request;
    QSet<QUrl> m_credentialsGiven;
    QTimer m_timer;
    // A stop reaches the engine later than a load that follows it at once, and would end that load
    // too: the next load waits until the stopped one has ended (or a moment has passed).
    bool m_stopping = false;
    std::optional<QWebEngineHttpRequest> m_pendingLoad;
    QTimer m_stopWait;
    int m_frameChecks = 0;
    QElapsedTimer m_settling;
    bool m_hideAfterLoad = false;
    bool m_changingVisibility = false;
    bool m_pageUsed = false; // a load was made with the page (and its credentials)
    std::string m_body;
    core::FetchOutcome m_outcome;
};

} // namespace engine
