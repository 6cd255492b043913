#pragma once
// The narrow part of the check cycle that its network steps (MainComponents) may use: the shared
// state, the operation log, the user interface, and a way to stop the abort timer. The steps never
// see the cycle itself, so they cannot start checks, touch the check timer or change what the
// window shows except through these.

#include <functional>

namespace platform {
class UserInterface;
}

namespace core {

struct MainState;
class OperationLog;

struct CycleMediator
{
    MainState& State;
    OperationLog& Log;
    // Status texts given here reach the cycle's view as well.
    platform::UserInterface& Ui;
    // A transfer error leaves the rest of the run without time limit.
    std::function<void()> StopAbortTimer;
};

} // namespace core
