// A worker thread that holds a reference on this module while it runs, and
// the state it shares with the side that started it. The reference is taken
// before the thread can run and released last, by FreeLibraryAndExitThread,
// so a host that unloads the plugin cannot pull the code from under a thread
// still finishing. The state counts its holders; the last to let go frees it.
// A state derives from HeldThreadState and is handed to these templates as
// itself, so it is freed as what it is without a virtual destructor.
#pragma once

#include <windows.h>

#include <atomic>

struct HeldThreadState {
    explicit HeldThreadState(long holders) : holders(holders) {}
    HeldThreadState(const HeldThreadState&) = delete;
    HeldThreadState& operator=(const HeldThreadState&) = delete;

    HMODULE module = nullptr;     // the thread's own reference on this module
    std::atomic<long> holders;    // the thread and, when it keeps one, the starter
};

// A counted reference on this module; null when none could be had.
HMODULE TakeModuleReference();
// Ends the calling thread with `module`'s reference, or returns 0 to end it
// as usual when it holds none.
DWORD LeaveWithModuleReference(HMODULE module);

// Lets go of one hold on `state`, freeing it with the last.
template <class State>
void ReleaseHeldState(State* state)
{
    if (--state->holders == 0)
        delete state;
}

// Starts `procedure` with `state` as its parameter, the module reference taken
// first. Null when no thread could be made: the reference is released and the
// thread's hold given up, so the starter goes on alone.
template <class State>
HANDLE StartHeldThread(LPTHREAD_START_ROUTINE procedure, State* state)
{
    state->module = TakeModuleReference();
    HANDLE thread = CreateThread(nullptr, 0, procedure, state, 0, nullptr);
    if (thread == nullptr) {
        if (state->module != nullptr)
            FreeLibrary(state->module);
        state->module = nullptr;
        ReleaseHeldState(state);
    }
    return thread;
}

// A held thread's last line: lets go of `state` and ends the thread with its
// module reference.
template <class State>
DWORD EndHeldThread(State* state)
{
    const HMODULE module = state->module;
    ReleaseHeldState(state);
    return LeaveWithModuleReference(module);
}
