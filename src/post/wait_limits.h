// Bounds on each wait of a post for the server, so a server that accepts and
// never answers fails the post with the platform's own error well before the
// deadline of the whole post (post/post_exchange.h) would end it.
#pragma once

#include <windows.h>
#include <wininet.h>

// Sets the connect, send and receive time-outs on a connection handle; the
// requests opened from it afterwards take them over.
void LimitWaits(HINTERNET connection);
