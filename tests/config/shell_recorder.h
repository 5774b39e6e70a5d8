// The dialogs' shell, ANSI and wide, replaced by a recorder for the life of
// the object: no browser, editor or file window is started, and each call's
// exact arguments are kept for the test to check. The wide call may be made
// to fail, as the shell fails when nothing opens a file.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "ui/shell_open.h"

struct ShellCall {
    HWND owner;
    std::string verb;
    std::string target;       // of an ANSI call
    std::wstring wideTarget;  // of a wide call
    bool hasParameters;
    bool hasDirectory;
    INT show;
};

class ShellRecorder {
public:
    ShellRecorder()
    {
        Calls().clear();
        WideResult() = kSuccess;
        previous_ = ReplaceShellExecuteForTesting(&Record);
        previousWide_ = ReplaceShellExecuteWForTesting(&RecordWide);
    }
    ~ShellRecorder()
    {
        ReplaceShellExecuteForTesting(previous_);
        ReplaceShellExecuteWForTesting(previousWide_);
    }
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

    // Wide calls from now on answer `error`, a shell error (32 or below).
    void FailWideCalls(INT_PTR error) { WideResult() = error; }

private:
    static constexpr DWORD kWaitMs = 5000;
    static constexpr INT_PTR kSuccess = 33;  // what the shell returns on success

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
    static std::atomic<INT_PTR>& WideResult()
    {
        static std::atomic<INT_PTR> result;
        return result;
    }

    static HINSTANCE WINAPI Record(HWND owner, LPCSTR verb, LPCSTR target, LPCSTR parameters,
                                   LPCSTR directory, INT show)
    {
        std::lock_guard<std::mutex> lock(Mutex());
        Calls().push_back({owner, verb != nullptr ? verb : "(null)",
                           target != nullptr ? target : "(null)", L"", parameters != nullptr,
                           directory != nullptr, show});
        return reinterpret_cast<HINSTANCE>(kSuccess);
    }

    static HINSTANCE WINAPI RecordWide(HWND owner, LPCWSTR verb, LPCWSTR target,
                                       LPCWSTR parameters, LPCWSTR directory, INT show)
    {
        std::lock_guard<std::mutex> lock(Mutex());
        Calls().push_back({owner, verb != nullptr && lstrcmpW(verb, L"open") == 0 ? "open" : "?",
                           "", target != nullptr ? target : L"(null)", parameters != nullptr,
                           directory != nullptr, show});
        return reinterpret_cast<HINSTANCE>(WideResult().load());
    }

    ShellExecuteFunction previous_ = nullptr;
    ShellExecuteWFunction previousWide_ = nullptr;
};
