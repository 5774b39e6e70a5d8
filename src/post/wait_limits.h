// Bounds on how long a post waits for the server, so a server that accepts
// and never answers cannot hold the monitor, or the dialog during a Test, for
// longer than a short while.
#pragma once

#include <windows.h>
#include <wininet.h>

// Sets the connect, send and receive time-outs on a connection handle; the
// requests opened from it afterwards take them over.
void LimitWaits(HINTERNET connection);
