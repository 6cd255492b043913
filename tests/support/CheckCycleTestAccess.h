#pragma once
// The tests' way into the check cycle's internals: its shared state, its network steps, its timers
// and the single steps of a check. The program itself drives the cycle through its public surface
// only.

#include "cycle/CheckCycle.h"

namespace core {

struct CheckCycleTestAccess
{
    static MainState& State(CheckCycle& cycle) { return cycle.m_state; }
    static CheckSteps* Steps(CheckCycle& cycle) { return cycle.m_steps.get(); }
    static QTimer& TimerCheck(CheckCycle& cycle) { return cycle.m_timerCheck; }
    static QTimer& TimerAbort(CheckCycle& cycle) { return cycle.m_timerAbort; }
    static std::int32_t CheckMinutes(const CheckCycle& cycle) { return cycle.m_checkMinutes; }
    static bool CheckSettingsReady(CheckCycle& cycle) { return cycle.CheckSettingsReady(); }
    // The check alone; the timed check arms the abort timer around it.
    static void RunCheck(CheckCycle& cycle) { cycle.RunCheck(); }
    static void ArmAbortTimer(CheckCycle& cycle, bool on) { cycle.ArmAbortTimer(on); }
    // What the kernel's announcement of an IPv6 address change sets off.
    static void Ipv6AddressesChanged(CheckCycle& cycle) { cycle.Ipv6AddressesChanged(); }
};

} // namespace core
