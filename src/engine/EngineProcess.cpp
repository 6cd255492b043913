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
        m_fetcher = m_program.isEmpty()
                        ? std::make_unique<core::ProcessStatusFetcher>()
                        : std::make_unique<core::ProcessStatusFetcher>(
                              m_program, QStringList{QStringLiteral("fetch-status"), QStringLiteral("--engine"),
                                                     QStringLiteral("--request-stdin")});
    return m_fetcher.get();
}

} // namespace engine
