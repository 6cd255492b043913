#pragma once
// Whether the browser engine can read the status page in this process, and what to say when it
// cannot. The program was perhaps built without it; and the engine's sandbox refuses to run as root,
// which the program never switches off on its own: only a user who set QTWEBENGINE_DISABLE_SANDBOX=1
// has taken that decision.

#include <string>

namespace engine {

// The program was built with the browser engine.
bool EngineBuilt();

// Empty when the engine may run here; else the log row (code page 932, half-width) that says why the
// status page is read with the HTTP client instead.
std::string EngineRefusal();

} // namespace engine
