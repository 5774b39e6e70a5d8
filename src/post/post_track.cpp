// PostTrack: one post of a title, from settling the server and form path to
// closing the session. Every outcome goes to a reporter at the moment it is
// known (by default a message box on the calling thread). The settings lock
// is held only while the values are copied, never across a message box, the
// configuration dialog or the network.
// Redirects are never followed: WinInet repeats a POST that was moved with
// 301, 302 or 303 as a GET without its body (and Wine's WinInet drops the
// body of a 307 too), so a lost title would count as a success.
// Sending and reading run against one deadline for the whole post
// (post_exchange.cpp); whatever the server does, the box comes by then.
#include "post/post_track.h"

#include <windows.h>
#include <wininet.h>

#include <exception>
#include <memory>
#include <string>
#include <utility>

#include "config/settings.h"
#include "config/settings_lock.h"
#include "http/exception.h"
#include "http/http_file.h"
#include "http/internet_connection.h"
#include "http/internet_session.h"
#include "post/post_exchange.h"
#include "post/post_messages.h"
#include "post/post_report.h"
#include "post/server_address.h"
#include "post/url_encode.h"
#include "post/wait_limits.h"

const char kUseStoredSettings[] = "";
const char kPluginCaption[] = "Tunewire Plugin";

namespace {

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

// Reports what the exchange learnt; false when the post failed. Whatever
// else ended the exchange goes on to the caller as it would have from here.
bool ReportExchange(const ExchangeResult& result, PostOutcome& outcome, PostReporter& reporter,
                    bool testMode, bool securePost)
{
    if (result.escaped)
        std::rethrow_exception(result.escaped);
    outcome.status = result.status;
    if (result.overdue) {
        // Before any answer the platform's code for a wait that ran out says
        // what happened, to a log and to the retries alike.
        if (result.status == 0)
            outcome.errorCode = ERROR_INTERNET_TIMEOUT;
        SetBox(outcome, TooSlowText(result.status, result.response),
               result.status == 0 ? kPluginCaption : kFailedCaption);
        reporter.Report(outcome);
        return false;
    }
    if (result.errorCode != 0) {
        outcome.errorCode = result.errorCode;
        ReportPlatformError(outcome, reporter, testMode, securePost);
        return false;
    }
    if (result.hasLocation) {
        SetBox(outcome, RedirectText(result.status, result.location, securePost), kFailedCaption);
        reporter.Report(outcome);
        return false;
    }
    if (result.status != 200) {
        SetBox(outcome, result.response, kFailedCaption);
        reporter.Report(outcome);
        return false;
    }
    outcome.taken = true;
    if (testMode)
        SetBox(outcome, kTestSucceededText, kPluginCaption);
    reporter.Report(outcome);
    return true;
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
          const char* moreFields, PostOutcome& outcome, PostReporter& reporter)
{
    const DWORD startTick = GetTickCount();
    const std::string titleCopy = title;
    const std::string moreFieldsCopy = moreFields;
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

    PostObjects objects;
    try {
        objects.session = std::make_unique<CInternetSession>(
            kAgent, kContext, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    } catch (CInternetException* exception) {
        outcome.errorCode = exception->errorCode;
        exception->Discard();
        reporter.Report(outcome);
        return true;
    }

    try {
        objects.connection =
            objects.session->ConnectHttp(address.host.c_str(), address.port, nullptr, nullptr);
    } catch (CInternetException* exception) {
        outcome.errorCode = exception->errorCode;
        exception->Discard();
        SetBox(outcome, kCouldNotConnectText, kPluginCaption);
        reporter.Report(outcome);
        objects.Close();
        return true;
    }

    LimitWaits(objects.connection->connectionHandle);
    // No flag that lets a certificate error pass is ever added.
    const DWORD flags = kRequestFlags | (address.secure ? INTERNET_FLAG_SECURE : 0);
    objects.request = objects.connection->CreateRequest(
        "POST", values.formPath.c_str(), nullptr, kContext, nullptr, nullptr, flags);

    const std::string body = Body(titleCopy, charset) + moreFieldsCopy;
    OutputDebugStringA(body.c_str());

    const ExchangeResult result = Exchange(objects, kContentTypeHeader, body, startTick);
    const bool posted = ReportExchange(result, outcome, reporter, values.testMode, address.secure);
    objects.Close();
    return posted;
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
               PostReporter* reporter, const char* moreFields)
{
    NotingReporter to(reporter != nullptr ? *reporter : BoxReporter());
    PostOutcome outcome;
    try {
        return Post(title, server, formPath, charset, moreFields, outcome, to);
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
