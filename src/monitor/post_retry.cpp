// The schedule and the classification are plain functions of their inputs,
// so they can be checked as tables; the pending title is a fixed buffer kept
// in the monitor's own state.
#include "monitor/post_retry.h"

#include <algorithm>

#include "common/ascii_case.h"
#include "common/bounded_copy.h"
#include "config/settings.h"

namespace {

// Doubling from 5 s gives a server a few quick chances after a short outage,
// and a minute apart is often enough for a long one without flooding it.
constexpr DWORD kFirstRetryMs = 5000;
constexpr DWORD kLongestRetryMs = 60000;
constexpr int kDoublings = 3;  // 5, 10, 20, 40 s

// WinInet's codes for a server that cannot be reached now or a connection
// lost on the way: 12002 timed out, 12007 name not resolved, 12029 cannot
// connect, 12030 aborted, 12031 reset, 12152 closed before any answer (what
// Windows gives where Wine gives status 0), 12163 disconnected, 12164 server
// unreachable, 12165 proxy unreachable; and Winsock's 10054 reset by the
// peer and 10061 refused.
constexpr DWORD kPassingErrors[] = {12002, 12007, 12029, 12030, 12031, 12152,
                                    12163, 12164, 12165, 10054, 10061};
constexpr DWORD kNameNotResolved = 12007;
constexpr DWORD kTooManyRequests = 429;

}  // namespace

DWORD RetryDelayMs(int retry)
{
    if (retry <= 0)
        return kFirstRetryMs;
    if (retry - 1 > kDoublings)
        return kLongestRetryMs;
    return kFirstRetryMs << (retry - 1);
}

bool MayPass(const PostOutcome& outcome)
{
    if (outcome.taken || outcome.invalidConfig)
        return false;
    // The placeholder never resolves: only the user can mend that.
    if (outcome.errorCode == kNameNotResolved &&
        EqualsIgnoringAsciiCase(outcome.server.c_str(), kDefaultServerName))
        return false;
    if (outcome.errorCode != 0)
        return std::find(std::begin(kPassingErrors), std::end(kPassingErrors),
                         outcome.errorCode) != std::end(kPassingErrors);
    // Status 0: the server closed the connection without an answer.
    return outcome.status == 0 || outcome.status == kTooManyRequests ||
           (outcome.status >= 500 && outcome.status <= 599);
}

void ArmRetry(PendingRetry& retry, const char* title, TitleCharset charset,
              const std::string& moreFields, int tries, DWORD now)
{
    retry.armed = true;
    retry.tries = tries;
    retry.lastTryTick = now;
    retry.charset = charset;
    CopyBounded(retry.title, title, retry.title + kUtf8TextSize - 1);
    retry.moreFields = moreFields;
}

void CancelRetry(PendingRetry& retry)
{
    retry.armed = false;
    retry.tries = 0;
    retry.title[0] = '\0';
    retry.moreFields.clear();
}

bool RetryDue(const PendingRetry& retry, DWORD now)
{
    // Unsigned subtraction: right across the tick count's wrap.
    return retry.armed && now - retry.lastTryTick >= RetryDelayMs(retry.tries);
}
