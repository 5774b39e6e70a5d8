// The loopback HTTP server that the tests and the bench post to over real
// WinInet. It listens on port 80 (or another given port) of a given loopback
// address or a random 127.x.y.z, so runs in parallel never meet; Host() is
// the text to give the plugin as its server, without the port. Connections are served one after another on the
// server's own thread. Each request is read whole (head and Content-Length
// body), stamped with its arrival, recorded, and answered with the next
// scripted response; once the script is used up, requests get 200 with a
// short body. An answer waits out its delay and any hold; the destructor
// stops the server promptly all the same, even while a client is connected,
// and a waiting answer is dropped when its client hangs up first.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ScriptedResponse {
    enum class Kind {
        kAnswer,        // status line, Content-Length, Connection: close, then body
        kCloseSilently, // read the request, close without a byte of answer
        kGarbage,       // answer bytes that are not HTTP at all, then close
        kReset,         // read the request, then reset the connection
        kCutShort,      // the head promises the whole body; half of it comes, then close
        kEndless,       // a head without length, the body, then `repeat` over and over
                        // until the client hangs up, the server stops or a minute passes
        kTrickle,       // a head without length, then the body, one byte every `trickleMs`
                        // from `trickleFrom` bytes into the answer on, until it is all
                        // sent, the client hangs up or the server stops
    };

    Kind kind = Kind::kAnswer;
    int status = 200;
    std::string body;   // exact bytes, any length
    std::string location;  // sent as a Location header when not empty
    std::string repeat;    // what an endless answer sends after its body
    DWORD delayMs = 0;  // waited after the request is recorded, before answering
    DWORD trickleMs = 0;
    size_t trickleFrom = 0;

    static ScriptedResponse Answer(int status, std::string body, DWORD delayMs = 0);
    static ScriptedResponse Of(Kind kind);
    static ScriptedResponse Redirect(int status, std::string location);
    static ScriptedResponse Endless(int status, std::string body, std::string repeat);
    // The head trickles too when `headToo`; otherwise it comes whole, at once.
    static ScriptedResponse Trickle(int status, std::string body, DWORD everyMs, bool headToo);
};

struct RecordedRequest {
    std::string requestLine;           // e.g. "POST /form.php HTTP/1.0"
    std::vector<std::string> headers;  // each "Name: value", in order
    std::string body;
    double arrivedMs = 0;              // NowMs (loopback/clock.h) once its last byte was in

    // The value of the first header with this name (any case), or "".
    std::string Header(const std::string& name) const;
};

class LoopbackHttpServer {
public:
    // `address` empty: a random 127.x.y.z, retried until one binds.
    explicit LoopbackHttpServer(const std::string& address = "", u_short port = 80);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    const std::string& Host() const { return host_; }
    u_short Port() const { return port_; }

    // Appends responses for the next requests, in order.
    void Script(const ScriptedResponse& response);
    // While held, every answer waits after its request is recorded, so a
    // client sits inside its request until Release.
    void Hold();
    void Release();

    std::vector<RecordedRequest> Requests() const;
    // Hands over the requests recorded so far and forgets them, so a long run
    // keeps no growing log; WaitForRequests then counts from zero again.
    std::vector<RecordedRequest> TakeRequests();
    bool WaitForRequests(size_t count, DWORD timeoutMs) const;

private:
    void Run();
    void Serve(SOCKET client);
    bool ReadRequest(SOCKET client, RecordedRequest& request);
    ScriptedResponse NextResponse();
    bool WaitFor(SOCKET socket, bool forWriting) const;
    bool WaitToAnswer(SOCKET client, DWORD delayMs) const;
    bool SendAll(SOCKET socket, const std::string& bytes) const;
    void SendEndless(SOCKET socket, const ScriptedResponse& response) const;
    void SendTrickle(SOCKET socket, const ScriptedResponse& response) const;
    bool Stopping() const;
    bool Held() const;

    std::string host_;
    const u_short port_;
    SOCKET listener_ = INVALID_SOCKET;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    bool held_ = false;
    std::deque<ScriptedResponse> script_;
    std::vector<RecordedRequest> requests_;
    std::thread thread_;
};
