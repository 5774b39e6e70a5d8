// Time-outs for one post. They go on the connection handle, not the session:
// Wine's WinInet ignores time-outs set on a session, while a request copies
// those of its connection when it is opened. A wait that runs out fails the
// send or the read with a platform error, which the post reports like any
// other.
#include "post/wait_limits.h"

#include <initializer_list>

namespace {

// Long enough for a slow host on a poor line, short enough that a track
// change a quarter of a minute later is still posted.
constexpr DWORD kWaitLimitMs = 15000;

}  // namespace

void LimitWaits(HINTERNET connection)
{
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        DWORD limit = kWaitLimitMs;
        InternetSetOptionA(connection, option, &limit, sizeof limit);
    }
}
