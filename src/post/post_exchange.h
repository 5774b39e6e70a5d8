// The network half of a post, sending the form and taking in the answer. It
// runs on a thread of its own so that the post ends at its deadline whatever
// the server and the platform do: a name lookup, a connect or a handshake
// that hangs, a head or a body that trickles in a byte at a time (each receive
// then ends well inside the wait limits). It reports nothing itself: the
// posting thread shows the outcome.
#pragma once

#include <windows.h>

#include <cstddef>
#include <exception>
#include <memory>
#include <string>

#include "http/http_file.h"
#include "http/internet_connection.h"
#include "http/internet_session.h"

// From the start of a post to its box. WinInet's limits bound each wait on its
// own, never the whole, and a server that sends a byte now and then keeps
// every wait short. Twice the longest single wait, so a slow server still gets
// that wait in full; short enough that the next track is posted while it
// plays, and that a Test press holds the dialog for half a minute at most.
constexpr DWORD kPostDeadlineMs = 30000;

// The most response text a failure report collects. A server that answers
// with a huge or endless body must not make the post use unbounded memory or
// time. The figure is the longest text the message box still shows: given
// 32767 characters or more it shows an empty box (seen under Wine), which
// would hide the server's words.
constexpr size_t kMaxResponseText = 32 * 1024 - 2;

// The objects of one post, each inside the one before.
struct PostObjects {
    std::unique_ptr<CInternetSession> session;
    std::unique_ptr<CHttpConnection> connection;
    std::unique_ptr<CHttpFile> request;

    // Child first: the request, the connection, the session, each destroyed
    // right after it is closed. Objects not made are passed over.
    void Close();
};

struct ExchangeResult {
    bool overdue = false;        // the deadline came first; the post's handles are closed
    DWORD errorCode = 0;         // the platform's code when the send or a read failed
    DWORD status = 0;            // 0 until the answer's head came in
    bool hasLocation = false;    // a redirect with a Location header
    std::string location;
    std::string response;        // a failure answer's lines run together, as far as they came
    std::exception_ptr escaped;  // anything else that ended the exchange
};

// Sends the request with the header text and body, reads the status and, for
// a failure, the answer; returns by `startTick` + kPostDeadlineMs at the
// latest. An exchange that ended in time hands `objects` back as they were
// given; an overdue one keeps them, their handles closed, and leaves
// `objects` empty.
ExchangeResult Exchange(PostObjects& objects, const std::string& headers, const std::string& body,
                        DWORD startTick);
