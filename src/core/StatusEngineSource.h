#pragma once
// Where the browser engine's fetcher comes from. The windows keep one engine for the program's run,
// because the status tab shows its live page; the headless service starts one for each load in a child
// process, so that nothing of the engine stays in memory between checks.

#include "core/StatusPageFetcher.h"

#include <string>

namespace core {

class StatusEngineSource
{
public:
    virtual ~StatusEngineSource() = default;
    // The fetcher for the next load; null when the engine cannot run here, with the reason (a log
    // text, code page 932) in whyNot.
    virtual StatusPageFetcher* Acquire(std::string& whyNot) = 0;
    // The load that Acquire served is over (read, stopped or cancelled).
    virtual void Release() {}
    // The next load goes through the HTTP client instead.
    virtual void Bypassed() {}
};

} // namespace core
