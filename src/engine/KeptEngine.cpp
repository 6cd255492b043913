#include "engine/KeptEngine.h"

#include "engine/EngineSupport.h"

namespace engine {

KeptEngine::~KeptEngine() = default;

core::StatusPageFetcher* KeptEngine::Acquire(std::string& whyNot)
{
    whyNot = EngineRefusal();
    if (!whyNot.empty()) {
        emit engineInUse(false);
        return nullptr;
    }
    if (!m_fetcher)
        m_fetcher = std::make_unique<EngineStatusFetcher>();
    emit engineInUse(true);
    return m_fetcher.get();
}

} // namespace engine
