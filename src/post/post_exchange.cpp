// The exchange's thread and the deadline. The posting thread and the exchange
// thread share one state; the last of the two to let go frees it, and the
// post's objects with it. Its lock guards the result and the right to close
// the handles, which are closed once: by the posting thread at the deadline
// (a handle closed from another thread makes Windows end the call blocked on
// it; Wine lets that call run on, which is why the posting thread never waits
// on a WinInet call itself), or else by the post once the exchange is over.
// After the deadline the exchange thread asks nothing more of the handles and
// forgets them rather than closing them again: WinInet gives a closed
// handle's value to the next object it makes, perhaps another post's.
#include "post/post_exchange.h"

#include <atomic>
#include <initializer_list>
#include <utility>

#include "common/critical_section.h"
#include "common/held_thread.h"
#include "common/unique_handle.h"
#include "http/exception.h"
#include "post/client_certificate.h"

namespace {

// The most bytes of a failure answer the post reads. The text cap alone
// counts characters kept, and a body of bare line breaks, carriage returns or
// lines that start with a zero byte keeps none: streamed without end, it would
// hold the exchange for ever. A megabyte is far more than any error page.
constexpr size_t kMaxResponseBytes = 1024 * 1024;

// Held by the posting thread and the exchange thread.
struct ExchangeState : HeldThreadState {
    ExchangeState(PostObjects given, const std::string& headers, const std::string& body)
        : HeldThreadState(2), objects(std::move(given)), headers(headers), body(body)
    {
    }

    PostObjects objects;
    const std::string headers;
    const std::string body;
    CriticalSection lock;
    // Under the lock:
    bool finished = false;
    bool overdue = false;
    ExchangeResult result;
};

bool IsRedirect(DWORD status)
{
    return status >= 300 && status <= 399;
}

// False once the deadline has closed the handles.
bool InTime(ExchangeState& state)
{
    CriticalSectionGuard guard(state.lock);
    return !state.overdue;
}

void CollectResponse(ExchangeState& state)
{
    CHttpFile& request = *state.objects.request;
    request.LimitRead(kMaxResponseBytes);
    std::string line;
    size_t kept = 0;
    while (kept < kMaxResponseText && InTime(state) &&
           request.ReadLine(line, kMaxResponseText - kept)) {
        CriticalSectionGuard guard(state.lock);
        state.result.response += line;
        kept = state.result.response.size();
    }
}

void Run(ExchangeState& state)
{
    CHttpFile& request = *state.objects.request;
    try {
        SendWithoutClientCertificate(request, state.headers, state.body);
        if (!InTime(state))
            return;
        // A status that cannot be read leaves 200 in place and counts as success.
        DWORD status = 200;
        request.QueryStatusCode(status);
        std::string location;
        const bool hasLocation = IsRedirect(status) && request.QueryLocation(location);
        {
            CriticalSectionGuard guard(state.lock);
            state.result.status = status;
            state.result.hasLocation = hasLocation;
            state.result.location = std::move(location);
        }
        if (!hasLocation && status != 200)
            CollectResponse(state);
    } catch (CInternetException* exception) {
        const DWORD errorCode = exception->errorCode;
        exception->Discard();
        CriticalSectionGuard guard(state.lock);
        state.result.errorCode = errorCode;
    } catch (...) {
        CriticalSectionGuard guard(state.lock);
        state.result.escaped = std::current_exception();
    }
}

// Ends the exchange: after the deadline, the handles it held are no longer
// its to close.
void Finish(ExchangeState& state)
{
    CriticalSectionGuard guard(state.lock);
    state.finished = true;
    if (!state.overdue)
        return;
    state.objects.request->fileHandle = nullptr;
    state.objects.connection->connectionHandle = nullptr;
    state.objects.session->sessionHandle = nullptr;
}

DWORD WINAPI ExchangeThread(void* parameter)
{
    auto* state = static_cast<ExchangeState*>(parameter);
    Run(*state);
    Finish(*state);
    return EndHeldThread(state);
}

// Called under the lock, while the exchange may be blocked on the request:
// the handles are closed but left in their objects, which the exchange
// thread is still using.
void CloseAtDeadline(PostObjects& objects)
{
    for (HINTERNET handle : {objects.request->fileHandle, objects.connection->connectionHandle,
                             objects.session->sessionHandle}) {
        if (handle != nullptr)
            InternetCloseHandle(handle);
    }
}

DWORD TimeLeft(DWORD startTick)
{
    // Unsigned subtraction: right across the tick count's wrap.
    const DWORD elapsed = GetTickCount() - startTick;
    return elapsed < kPostDeadlineMs ? kPostDeadlineMs - elapsed : 0;
}

}  // namespace

void PostObjects::Close()
{
    if (request) {
        request->CloseFile();
        request.reset();
    }
    if (connection) {
        connection->CloseConnection();
        connection.reset();
    }
    if (session) {
        session->CloseSession();
        session.reset();
    }
}

// The thread's module reference is taken before the thread can run, so an
// unload after the post cannot pull the code from under an overdue exchange.
// A thread that cannot be made leaves the exchange to this thread, without
// the deadline but with nothing lost.
ExchangeResult Exchange(PostObjects& objects, const std::string& headers, const std::string& body,
                        DWORD startTick)
{
    auto* state = new ExchangeState(std::move(objects), headers, body);
    UniqueHandle thread(StartHeldThread(ExchangeThread, state));
    if (thread) {
        WaitForSingleObject(thread.Get(), TimeLeft(startTick));
    } else {
        Run(*state);
        Finish(*state);
    }

    ExchangeResult result;
    {
        CriticalSectionGuard guard(state->lock);
        if (!state->finished) {
            state->overdue = true;
            CloseAtDeadline(state->objects);
        }
        result = state->result;
        result.overdue = state->overdue;
        if (!state->overdue)
            objects = std::move(state->objects);
    }
    ReleaseHeldState(state);
    return result;
}
