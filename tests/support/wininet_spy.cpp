// Import-table redirection for WinInetSpy. The plugin's code is linked into the
// test executable, so its WinInet calls go through the executable's own import
// slots; swapping a slot redirects exactly those calls and nothing inside
// WinInet itself.
#include "support/wininet_spy.h"

#include "support/import_slot.h"

#include <wininet.h>

#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <stdexcept>
#include <type_traits>

namespace {

std::mutex g_mutex;
std::vector<std::string> g_calls;
std::map<HINTERNET, std::string> g_handleNames;
std::map<std::string, std::deque<DWORD>> g_failures;  // each function's armed errors, in order
DWORD g_readLimit = 0;
std::string g_throwingFunction;
int g_throwCallsLeft = 0;
std::function<void()> g_thrower;

decltype(&InternetOpenA) g_realOpen;
decltype(&InternetConnectA) g_realConnect;
decltype(&HttpOpenRequestA) g_realOpenRequest;
decltype(&HttpSendRequestA) g_realSend;
decltype(&HttpQueryInfoA) g_realQueryInfo;
decltype(&InternetQueryDataAvailable) g_realQueryAvailable;
decltype(&InternetReadFile) g_realRead;
decltype(&InternetSetOptionA) g_realSetOption;
decltype(&InternetCloseHandle) g_realClose;
decltype(&OutputDebugStringA) g_realDebugOutput;

std::string Quoted(const char* text)
{
    return text == nullptr ? "null" : "\"" + std::string(text) + "\"";
}

std::string Quoted(const void* data, DWORD length)
{
    return data == nullptr ? "null" : "\"" + std::string(static_cast<const char*>(data), length) + "\"";
}

std::string Hex(DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(value));
    return text;
}

std::string NameOf(HINTERNET handle)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto found = g_handleNames.find(handle);
    if (found != g_handleNames.end())
        return found->second;
    return handle == nullptr ? "null" : "unknown";
}

// True when the test asked for this call to fail; the error is then set.
bool TakeFailure(const std::string& function)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto found = g_failures.find(function);
    if (found == g_failures.end() || found->second.empty())
        return false;
    SetLastError(found->second.front());
    found->second.pop_front();
    return true;
}

// Runs the armed thrower when this is the call it waits for. The lock is let
// go before the throw.
void ThrowIfArmed(const char* function)
{
    std::function<void()> thrower;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_throwingFunction != function || --g_throwCallsLeft != 0)
            return;
        g_throwingFunction.clear();
        thrower = std::move(g_thrower);
    }
    thrower();
}

void Log(const std::string& line, bool failed)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_calls.push_back(failed ? line + " -> failed" : line);
}

HINTERNET Named(HINTERNET handle, const char* name)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (handle != nullptr)
        g_handleNames[handle] = name;
    return handle;
}

// One recorded call: whatever the test armed for `function` (a throw, a
// failure), else the real call; then the log line, and for a new handle its
// name. The call's last error is kept intact for the caller.
template <typename Result, typename Call>
Result Recorded(const char* function, const std::string& line, Call real,
                const char* handleName = nullptr)
{
    ThrowIfArmed(function);
    const bool fail = TakeFailure(function);
    const Result result = fail ? Result{} : real();
    const DWORD error = GetLastError();
    Log(line, !result);
    if constexpr (std::is_same_v<Result, HINTERNET>) {
        if (handleName != nullptr)
            Named(result, handleName);
    }
    SetLastError(error);
    return result;
}

HINTERNET WINAPI SpyOpen(LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR bypass, DWORD flags)
{
    std::string line = "InternetOpenA(" + Quoted(agent) + ", " + std::to_string(access) + ", " +
                       Quoted(proxy) + ", " + Quoted(bypass) + ", " + Hex(flags) + ")";
    return Recorded<HINTERNET>(
        "InternetOpenA", line, [&] { return g_realOpen(agent, access, proxy, bypass, flags); },
        "session");
}

HINTERNET WINAPI SpyConnect(HINTERNET session, LPCSTR server, INTERNET_PORT port, LPCSTR user,
                            LPCSTR password, DWORD service, DWORD flags, DWORD_PTR context)
{
    std::string line = "InternetConnectA(" + NameOf(session) + ", " + Quoted(server) + ", " +
                       std::to_string(port) + ", " + Quoted(user) + ", " + Quoted(password) +
                       ", " + std::to_string(service) + ", " + Hex(flags) + ", " +
                       std::to_string(context) + ")";
    return Recorded<HINTERNET>(
        "InternetConnectA", line,
        [&] { return g_realConnect(session, server, port, user, password, service, flags, context); },
        "connection");
}

HINTERNET WINAPI SpyOpenRequest(HINTERNET connection, LPCSTR verb, LPCSTR object, LPCSTR version,
                                LPCSTR referer, LPCSTR* acceptTypes, DWORD flags,
                                DWORD_PTR context)
{
    std::string line = "HttpOpenRequestA(" + NameOf(connection) + ", " + Quoted(verb) + ", " +
                       Quoted(object) + ", " + Quoted(version) + ", " + Quoted(referer) + ", " +
                       (acceptTypes == nullptr ? "null" : "types") + ", " + Hex(flags) + ", " +
                       std::to_string(context) + ")";
    return Recorded<HINTERNET>(
        "HttpOpenRequestA", line,
        [&] {
            return g_realOpenRequest(connection, verb, object, version, referer, acceptTypes,
                                     flags, context);
        },
        "request");
}

BOOL WINAPI SpySend(HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID data,
                    DWORD dataLength)
{
    std::string line = "HttpSendRequestA(" + NameOf(request) + ", " + Quoted(headers) + ", " +
                       std::to_string(headersLength) + ", " + Quoted(data, dataLength) + ", " +
                       std::to_string(dataLength) + ")";
    return Recorded<BOOL>("HttpSendRequestA", line, [&] {
        return g_realSend(request, headers, headersLength, data, dataLength);
    });
}

BOOL WINAPI SpyQueryInfo(HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length,
                         LPDWORD index)
{
    std::string line = "HttpQueryInfoA(" + NameOf(request) + ", " + std::to_string(level) + ", " +
                       std::to_string(*length) + (index == nullptr ? "" : ", index") + ")";
    return Recorded<BOOL>("HttpQueryInfoA", line, [&] {
        return g_realQueryInfo(request, level, buffer, length, index);
    });
}

BOOL WINAPI SpyRead(HINTERNET request, LPVOID buffer, DWORD size, LPDWORD bytesRead)
{
    std::string line = "InternetReadFile(" + NameOf(request) + ", " + std::to_string(size) + ")";
    DWORD asked = size;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_readLimit != 0 && g_readLimit < asked)
            asked = g_readLimit;
    }
    return Recorded<BOOL>("InternetReadFile", line,
                          [&] { return g_realRead(request, buffer, asked, bytesRead); });
}

// Logs what the platform said is there, e.g. "(request) = 12".
BOOL WINAPI SpyQueryAvailable(HINTERNET request, LPDWORD available, DWORD flags, DWORD_PTR context)
{
    ThrowIfArmed("InternetQueryDataAvailable");
    const bool fail = TakeFailure("InternetQueryDataAvailable");
    const BOOL ok = fail ? FALSE : g_realQueryAvailable(request, available, flags, context);
    const DWORD error = GetLastError();
    Log("InternetQueryDataAvailable(" + NameOf(request) + ")" +
            (ok ? " = " + std::to_string(*available) : ""),
        !ok);
    SetLastError(error);
    return ok;
}

// Logs a number-valued option with its value, e.g. "(connection, 2, 15000)".
BOOL WINAPI SpySetOption(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length)
{
    std::string value = length == sizeof(DWORD) && buffer != nullptr
                            ? std::to_string(*static_cast<DWORD*>(buffer))
                            : std::to_string(length) + " bytes";
    std::string line = "InternetSetOptionA(" + NameOf(handle) + ", " + std::to_string(option) +
                       ", " + value + ")";
    return Recorded<BOOL>("InternetSetOptionA", line,
                          [&] { return g_realSetOption(handle, option, buffer, length); });
}

BOOL WINAPI SpyClose(HINTERNET handle)
{
    ThrowIfArmed("InternetCloseHandle");
    std::string line = "InternetCloseHandle(" + NameOf(handle) + ")";
    BOOL ok = g_realClose(handle);
    DWORD error = GetLastError();
    Log(line, false);
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_handleNames.erase(handle);
    }
    SetLastError(error);
    return ok;
}

void WINAPI SpyDebugOutput(LPCSTR text)
{
    Log("OutputDebugStringA(" + Quoted(text) + ")", false);
    g_realDebugOutput(text);
}

// `current` is read through the import slot itself, so it is the real
// function as long as no spy is installed.
template <typename Function>
void Install(const char* dll, Function& real, Function current, Function spy)
{
    real = current;
    WriteImportSlot(FindImportSlot(dll, reinterpret_cast<void*>(real)), reinterpret_cast<void*>(spy));
}

template <typename Function>
void Uninstall(const char* dll, Function real, Function spy)
{
    WriteImportSlot(FindImportSlot(dll, reinterpret_cast<void*>(spy)), reinterpret_cast<void*>(real));
}

const char kWinInet[] = "wininet.dll";
const char kKernel[] = "kernel32.dll";

}  // namespace

WinInetSpy::WinInetSpy()
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_calls.clear();
        g_handleNames.clear();
        g_failures.clear();
        g_readLimit = 0;
        g_throwingFunction.clear();
        g_thrower = nullptr;
    }
    Install(kWinInet, g_realOpen, &InternetOpenA, &SpyOpen);
    Install(kWinInet, g_realConnect, &InternetConnectA, &SpyConnect);
    Install(kWinInet, g_realOpenRequest, &HttpOpenRequestA, &SpyOpenRequest);
    Install(kWinInet, g_realSend, &HttpSendRequestA, &SpySend);
    Install(kWinInet, g_realQueryInfo, &HttpQueryInfoA, &SpyQueryInfo);
    Install(kWinInet, g_realQueryAvailable, &InternetQueryDataAvailable, &SpyQueryAvailable);
    Install(kWinInet, g_realRead, &InternetReadFile, &SpyRead);
    Install(kWinInet, g_realSetOption, &InternetSetOptionA, &SpySetOption);
    Install(kWinInet, g_realClose, &InternetCloseHandle, &SpyClose);
    Install(kKernel, g_realDebugOutput, &OutputDebugStringA, &SpyDebugOutput);
}

WinInetSpy::~WinInetSpy()
{
    Uninstall(kWinInet, g_realOpen, &SpyOpen);
    Uninstall(kWinInet, g_realConnect, &SpyConnect);
    Uninstall(kWinInet, g_realOpenRequest, &SpyOpenRequest);
    Uninstall(kWinInet, g_realSend, &SpySend);
    Uninstall(kWinInet, g_realQueryInfo, &SpyQueryInfo);
    Uninstall(kWinInet, g_realQueryAvailable, &SpyQueryAvailable);
    Uninstall(kWinInet, g_realRead, &SpyRead);
    Uninstall(kWinInet, g_realSetOption, &SpySetOption);
    Uninstall(kWinInet, g_realClose, &SpyClose);
    Uninstall(kKernel, g_realDebugOutput, &SpyDebugOutput);
}

std::vector<std::string> WinInetSpy::Calls() const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_calls;
}

std::vector<std::string> WinInetSpy::CallsOf(const std::string& function) const
{
    std::vector<std::string> found;
    for (const std::string& call : Calls()) {
        if (call.compare(0, function.size() + 1, function + "(") == 0)
            found.push_back(call);
    }
    return found;
}

void WinInetSpy::FailNext(const std::string& function, DWORD error)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_failures[function].push_back(error);
}

void WinInetSpy::LimitReads(DWORD bytes)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_readLimit = bytes;
}

void WinInetSpy::ThrowAt(const std::string& function, int call, std::function<void()> thrower)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_throwingFunction = function;
    g_throwCallsLeft = call;
    g_thrower = std::move(thrower);
}

bool WinInetSpy::ThrowPending() const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return !g_throwingFunction.empty();
}

size_t WinInetSpy::OpenHandles() const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_handleNames.size();
}
