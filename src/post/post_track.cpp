// PostTrack: one post of a title, from settling the server and form path to
// closing the session. Every outcome goes to a reporter at the moment it is
// known (by default a message box on the calling thread). The settings lock
// is held only while the values are copied, never across a message box, the
// configuration dialog or the network.
// Redirects are never followed: WinInet repeats a POST that was moved with
// 301, 302 or 303 as a GET without its body (and Wine's WinInet drops the
// body of a 307 too), so a lost title would count as a success.
#include "post/post_track.h"

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <string>
#include <utility>

#include "config/settings.h"
#include "config/settings_lock.h"
#include "http/exception.h"
#include "http/http_file.h"
#include "http/internet_connection.h"
#include "http/internet_session.h"
#include "post/client_certificate.h"
#include "post/post_messages.h"
#include "post/post_report.h"
#include "post/server_address.h"
#include "post/url_encode.h"
#include "post/wait_limits.h"

const char kUseStoredSettings[] = "";
const char kPluginCaption[] = "Tunewire Plugin";

namespace {

// The most response text a failure report collects. A server that answers
// with a huge or endless body must not make the post use unbounded memory or
// time, nor hold the posting thread until the body ends. The figure is the
// longest text the message box still shows: given 32767 characters or more it
// shows an empty box (seen under Wine), which would hide the server's words.
constexpr size_t kMaxResponseText = 32 * 1024 - 2;
// The most bytes of such a response the post reads. The text cap alone counts
// characters kept, and a body of bare line breaks, carriage returns or lines
// that start with a zero byte keeps none: streamed without end, it would hold
// the posting thread for ever, since the wait limits never run out while bytes
// keep coming. A megabyte is far more than any error page, and takes seconds
// at most to read over a broadband line.
constexpr size_t kMaxResponseBytes = 1024 * 1024;

constexpr DWORD_PTR kContext = 1;
// Always the server's own answer, never a cache's; a redirect comes back as
// it is instead of being followed.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_AUTO_REDIRECT;

const char kAgent[] = "My Sessions";
const char kContentTypeHeader[] = "Content-Type: application/x-www-form-urlencoded";
const char kBodyPrefix[] = "track=";
const char kUtf8Field[] = "&charset=utf-8";

const char kInvalidConfigCaption[] = "Tunewire Plugin - Invalid Config:";
const char kFailedCaption[] = "Tunewire Plugin - Failed To Post Data, Server Response:";

const char kCouldNotConnectText[] = "Could not connect to server - check the configuration.";
const char kTestSucceededText[] =
    "Connected to server = OK, Connected to form = OK. \n\n You should check the image on the "
    "server, and ensure it's been updated with 'Connection Test'";
const char kNameNotResolvedText[] =
    "Failed to connect to server, check the server address is correct.";
const char kGenericErrorFormat[] = "Generic Error Code: %d";

struct PostValues {
    bool testMode = false;
    std::string server;
    std::string formPath;
};

// The marker is recognised by address: an empty text anywhere else is an
// explicit value. The copies are taken under the lock because the other thread
// may be refilling the settings buffers, which can be the very arguments.
PostValues SettleValues(const char* server, const char* formPath)
{
    PostValues values;
    SettingsLock lock;
    if (server == kUseStoredSettings || formPath == kUseStoredSettings) {
        ReadSettings();
        values.server = GetServerName();
        values.formPath = GetFormHandler();
    } else {
        values.testMode = true;
        values.server = server;
        values.formPath = formPath;
    }
    return values;
}

std::string CollectResponse(CHttpFile& request)
{
    request.LimitRead(kMaxResponseBytes);
    std::string response;
    std::string line;
    while (response.size() < kMaxResponseText &&
           request.ReadLine(line, kMaxResponseText - response.size()))
        response += line;
    return response;
}

bool IsRedirect(DWORD statusCode)
{
    return statusCode >= 300 && statusCode <= 399;
}

// The outcome's box: its text and caption.
void SetBox(PostOutcome& outcome, std::string text, const char* caption)
{
    outcome.text = std::move(text);
    outcome.caption = caption;
}

void ReportPlatformError(PostOutcome& outcome, PostReporter& reporter, bool testMode,
                         bool securePost)
{
    const DWORD errorCode = outcome.errorCode;
    const std::string secureText = securePost ? SecureChannelText(errorCode) : "";
    if (!secureText.empty()) {
        SetBox(outcome, secureText, kPluginCaption);
    } else if (errorCode == ERROR_INTERNET_NAME_NOT_RESOLVED) {
        SetBox(outcome, kNameNotResolvedText, kPluginCaption);
        outcome.opensDialog = !testMode;
    } else {
        char text[64];
        wsprintfA(text, kGenericErrorFormat, static_cast<int>(errorCode));
        SetBox(outcome, text, kPluginCaption);
    }
    reporter.Report(outcome);
}

// Sends the request and reports the response; false when the post failed.
bool SendAndReport(CHttpFile& request, const std::string& body, PostOutcome& outcome,
                   PostReporter& reporter, bool testMode, bool securePost)
{
    try {
        SendWithoutClientCertificate(request, kContentTypeHeader, body);
        // A status that cannot be read leaves 200 in place and counts as success.
        DWORD statusCode = 200;
        request.QueryStatusCode(statusCode);
        outcome.status = statusCode;
        std::string location;
        if (IsRedirect(statusCode) && request.QueryLocation(location)) {
            SetBox(outcome, RedirectText(statusCode, location, securePost), kFailedCaption);
            reporter.Report(outcome);
            return false;
        }
        if (statusCode != 200) {
            SetBox(outcome, CollectResponse(request), kFailedCaption);
            reporter.Report(outcome);
            return false;
        }
        outcome.taken = true;
        if (testMode)
            SetBox(outcome, kTestSucceededText, kPluginCaption);
        reporter.Report(outcome);
        return true;
    } catch (CInternetException* exception) {
        outcome.errorCode = exception->errorCode;
        exception->Discard();
        ReportPlatformError(outcome, reporter, testMode, securePost);
        return false;
    }
}

// The same encoder serves both kinds of title: it works byte by byte, so UTF-8
// bytes come out percent-encoded like any other byte above 7F.
std::string Body(const std::string& title, TitleCharset charset)
{
    std::string body = kBodyPrefix + UrlEncode(title);
    if (charset == TitleCharset::kUtf8)
        body += kUtf8Field;
    return body;
}

bool Post(const char* title, const char* server, const char* formPath, TitleCharset charset,
          PostOutcome& outcome, PostReporter& reporter)
{
    const std::string titleCopy = title;
    const PostValues values = SettleValues(server, formPath);
    const ServerAddress address = ParseServer(values.server);
    outcome.server = values.server;
    outcome.formPath = values.formPath;

    if (address.host.empty() || values.formPath.empty()) {
        outcome.invalidConfig = true;
        SetBox(outcome, "", kInvalidConfigCaption);
        outcome.opensDialog = !values.testMode;
        reporter.Report(outcome);
        return true;
    }

    std::unique_ptr<CInternetSession> session;
    try {
        session = std::make_unique<CInternetSession>(kAgent, kContext, INTERNET_OPEN_TYPE_PRECONFIG,
                                                     nullptr, nullptr, 0);
    } catch (CInternetException* exception) {
        outcome.errorCode = exception->errorCode;
        exception->Discard();
        reporter.Report(outcome);
        return true;
    }

    std::unique_ptr<CHttpConnection> connection;
    try {
        connection = session->ConnectHttp(address.host.c_str(), address.port, nullptr, nullptr);
    } catch (CInternetException* exception) {
        outcome.errorCode = exception->errorCode;
        exception->Discard();
        SetBox(outcome, kCouldNotConnectText, kPluginCaption);
        reporter.Report(outcome);
        session->CloseSession();
        return true;
    }

    LimitWaits(connection->connectionHandle);
    // No flag that lets a certificate error pass is ever added.
    const DWORD flags = kRequestFlags | (address.secure ? INTERNET_FLAG_SECURE : 0);
    std::unique_ptr<CHttpFile> request = connection->CreateRequest(
        "POST", values.formPath.c_str(), nullptr, kContext, nullptr, nullptr, flags);

    const std::string body = Body(titleCopy, charset);
    OutputDebugStringA(body.c_str());

    const bool result =
        SendAndReport(*request, body, outcome, reporter, values.testMode, address.secure);

    // Child first: the request, then the connection, then the session.
    request->CloseFile();
    request.reset();
    connection->CloseConnection();
    connection.reset();
    session->CloseSession();
    return result;
}

// Passes each report on and notes that one was made.
class NotingReporter final : public PostReporter {
public:
    explicit NotingReporter(PostReporter& to) : to_(to) {}
    void Report(const PostOutcome& outcome) override
    {
        reported = true;
        to_.Report(outcome);
    }
    bool reported = false;

private:
    PostReporter& to_;
};

}  // namespace

// Nothing may escape to the callers, a thread procedure and a dialog
// procedure: an exception crossing either ends the player. Whatever a step
// throws that the post does not handle where it happens (memory running out,
// an HTTP layer exception outside the guarded steps, anything else), the
// objects made so far close themselves as they are destroyed, and the post
// counts as failed without a message. A reporter that has not heard of the
// post by then is told of an outcome without a box, so a log still gets its
// line; the report itself lets nothing out either.
bool PostTrack(const char* title, const char* server, const char* formPath, TitleCharset charset,
               PostReporter* reporter)
{
    NotingReporter to(reporter != nullptr ? *reporter : BoxReporter());
    PostOutcome outcome;
    try {
        return Post(title, server, formPath, charset, outcome, to);
    } catch (CException* exception) {
        exception->Discard();
    } catch (...) {
    }
    if (reporter != nullptr && !to.reported) {
        try {
            outcome.caption.clear();
            outcome.opensDialog = false;
            reporter->Report(outcome);
        } catch (...) {
        }
    }
    return false;
}
