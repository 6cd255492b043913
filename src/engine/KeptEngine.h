#pragma once
// The browser engine of the tray program: made at its first load and kept for the program's run, so
// that the status tab can show the page it loads, live.

#include "core/StatusEngineSource.h"
#include "engine/EngineStatusFetcher.h"

#include <QObject>
#include <memory>

namespace engine {

class KeptEngine final : public QObject, public core::StatusEngineSource
{
    Q_OBJECT
public:
    KeptEngine() = default;
    ~KeptEngine() override;

    core::StatusPageFetcher* Acquire(std::string& whyNot) override;
    void Bypassed() override { emit engineInUse(false); }

    // Null until the first load through the engine.
    EngineStatusFetcher* Fetcher() const { return m_fetcher.get(); }

signals:
    // Before every load: whether the engine serves it (its page is then the one to show).
    void engineInUse(bool inUse);

private:
    std::unique_ptr<EngineStatusFetcher> m_fetcher;
};

} // namespace engine
