#pragma once
// The browser engine of the headless service: every load runs in a child process (this program's
// `fetch-status --engine`), which ends with the load. Between checks the service then holds nothing
// of the engine: no threads, no caches, no helper processes.

#include "core/StatusEngineSource.h"
#include "core/StatusPageProcess.h"

#include <QString>
#include <memory>

namespace engine {

class EngineProcess final : public core::StatusEngineSource
{
public:
    // program: the full program (with the engine); empty: this one.
    explicit EngineProcess(QString program = {}) : m_program(std::move(program)) {}
    core::StatusPageFetcher* Acquire(std::string& whyNot) override;

private:
    QString m_program;
    std::unique_ptr<core::ProcessStatusFetcher> m_fetcher;
};

} // namespace engine
