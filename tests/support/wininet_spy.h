// Watches the WinInet calls of this test program, and its debugger output,
// without replacing either.
//
// While a WinInetSpy lives, this executable's import-table entries for the
// WinInet functions the plugin's code uses, and for OutputDebugStringA, point
// at recorders that log each call and pass it on to the real function. A test can also make the next
// call of one function fail with a given error, make a chosen call throw, or
// cap how many bytes each InternetReadFile delivers (to fix where the
// platform's reads split a body).
// Only one spy may live at a time.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class WinInetSpy {
public:
    WinInetSpy();
    ~WinInetSpy();
    WinInetSpy(const WinInetSpy&) = delete;
    WinInetSpy& operator=(const WinInetSpy&) = delete;

    // One line per call, in order, handles named by what made them, e.g.
    //   HttpQueryInfoA(request, 19, 80)
    //   InternetCloseHandle(connection)
    // A refused call ends in " -> failed".
    std::vector<std::string> Calls() const;

    // The calls whose line starts with `function` followed by "(".
    std::vector<std::string> CallsOf(const std::string& function) const;

    // The next call of `function` fails with `error`, without reaching WinInet.
    // Called again before that call, it arms the call after it, and so on.
    void FailNext(const std::string& function, DWORD error);

    // Each InternetReadFile asks the platform for at most `bytes` bytes; the
    // call is still logged with the size the caller asked for.
    void LimitReads(DWORD bytes);

    // The `call`-th call of `function` from now on runs `thrower` instead of
    // reaching WinInet or being logged; whatever it throws goes to the caller.
    void ThrowAt(const std::string& function, int call, std::function<void()> thrower);

    // True while a ThrowAt has not fired yet.
    bool ThrowPending() const;

    // Handles WinInet gave out through the spy and that were not closed.
    size_t OpenHandles() const;
};
