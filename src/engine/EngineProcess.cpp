#include "engine/EngineProcess.h"

#include "engine/EngineSupport.h"

namespace engine {

core::StatusPageFetcher* EngineProcess::Acquire(std::string& whyNot)
{
    // Judged here, not only in the child, so that the service's log says why.
    whyNot = EngineRefusal();
    if (!whyNot.empty())
        return nullptr;
    if (!m_fetcher)
        m_fetcher = std::make_unique<core::ProcessStatusFetcher>();
    return m_fetcher.get();
}

} // namespace engine
