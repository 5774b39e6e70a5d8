// Retries of a quiet post that failed for a reason that may pass: the same
// title again 5, 10, 20 and 40 s after the previous try, then every 60 s,
// for as long as the same entry plays. The monitor runs a due retry within
// one of its turns, so its pauses stay the ones that quit interrupts.
#pragma once

#include <windows.h>

#include <string>

#include "monitor/host_text.h"
#include "post/post_report.h"
#include "post/post_track.h"

// The wait before retry number `retry` (1 for the first retry).
DWORD RetryDelayMs(int retry);

// Whether a failure may pass without the user: the server or the way to it
// is down or busy (no connection, refused, reset, time-out, name not
// resolved, a connection closed without an answer, 5xx, 429). The
// placeholder server name that does not resolve is not one of them.
bool MayPass(const PostOutcome& outcome);

struct PendingRetry {
    bool armed = false;
    int tries = 0;        // tries made so far, the first post included
    DWORD lastTryTick = 0;
    TitleCharset charset = TitleCharset::kAnsi;
    char title[kUtf8TextSize] = {};
    std::string moreFields;  // posted after the title, as PostTrack takes them
};

// Keeps `title` and `moreFields` for a retry after its `tries`-th try failed
// at `now`.
void ArmRetry(PendingRetry& retry, const char* title, TitleCharset charset,
              const std::string& moreFields, int tries, DWORD now);
void CancelRetry(PendingRetry& retry);
bool RetryDue(const PendingRetry& retry, DWORD now);
