#include "platform/fault_injection.h"

#include <cerrno>

namespace {

// The one test hook of the process: counters per kind and one armed fault.
struct FaultState {
    uint32_t count[FAULT_OPERATION_COUNT + 1];
    FaultOperation op;
    uint32_t target;  // value of count[op] that triggers; 0 = disarmed
    FaultEffect effect;
    bool fired;
    uint32_t error;
};

FaultState state = {};

}  // namespace

void fault_reset()
{
    state = FaultState{};
}

void fault_arm(FaultOperation op, uint32_t nth, FaultEffect effect)
{
    state.op = op;
    state.target = nth ? state.count[op] + nth : 0;
    state.effect = effect;
    state.fired = false;
}

void fault_disarm()
{
    state.target = 0;
}

uint32_t fault_count(FaultOperation op)
{
    return op <= FAULT_ANY ? state.count[op] : 0;
}

bool fault_fired()
{
    return state.fired;
}

void fault_set_error(uint32_t error)
{
    state.error = error;
}

uint32_t fault_error()
{
    return state.error;
}

bool fault_hit(FaultOperation op, FaultEffect* effect)
{
    if (op >= FAULT_ANY)
        return false;
    const uint32_t own = ++state.count[op];
    const uint32_t any = ++state.count[FAULT_ANY];
    if (state.target == 0 || (state.op != op && state.op != FAULT_ANY))
        return false;
    const uint32_t seen = state.op == FAULT_ANY ? any : own;
    const bool hit = state.effect == FAULT_FAIL_FROM_THEN_ON ? seen >= state.target : seen == state.target;
    if (!hit)
        return false;
    state.fired = true;
    *effect = state.effect;
    return true;
}

bool fault_injected(FaultOperation op)
{
    FaultEffect effect;
    if (!fault_hit(op, &effect))
        return false;
    errno = state.error ? static_cast<int>(state.error) : EIO;
    return true;
}

bool fault_transfer_allowed(FaultOperation op, uint32_t* n)
{
    FaultEffect effect;
    if (!fault_hit(op, &effect))
        return true;
    if (effect != FAULT_SHORT)
        return false;
    *n /= 2;
    return true;
}
