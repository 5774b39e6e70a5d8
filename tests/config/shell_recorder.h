// The dialogs' shell replaced by a recorder for the life of the object: no
// browser, editor or file window is started, and each call's exact arguments
// are kept for the test to check.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "config/shell_open.h"

struct ShellCall {
    HWND owner;
    std::string verb;
    std::string target;
    bool hasParameters;
    bool hasDirectory;
    INT show;
};

class ShellRecorder {
public:
    ShellRecorder()
    {
        Calls().clear();
        previous_ = ReplaceShellExecuteForTesting(&Record);
    }
    ~ShellRecorder() { ReplaceShellExecuteForTesting(previous_); }
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

    // The calls so far, once there are `count` of them or 5 s have passed.
    std::vector<ShellCall> WaitForCalls(size_t count) const
    {
        const DWORD start = GetTickCount();
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(Mutex());
                if (Calls().size() >= count || GetTickCount() - start >= kWaitMs)
                    return Calls();
            }
            Sleep(10);
        }
    }

private:
    static constexpr DWORD kWaitMs = 5000;

    static std::mutex& Mutex()
    {
        static std::mutex mutex;
        return mutex;
    }
    static std::vector<ShellCall>& Calls()
    {
        static std::vector<ShellCall> calls;
        return calls;
    }

    static HINSTANCE WINAPI Record(HWND owner, LPCSTR verb, LPCSTR target, LPCSTR parameters,
                                   LPCSTR directory, INT show)
    {
        std::lock_guard<std::mutex> lock(Mutex());
        Calls().push_back({owner, verb != nullptr ? verb : "(null)",
                           target != nullptr ? target : "(null)", parameters != nullptr,
                           directory != nullptr, show});
        return reinterpret_cast<HINSTANCE>(33);  // what the shell returns on success
    }

    ShellExecuteFunction previous_ = nullptr;
};
