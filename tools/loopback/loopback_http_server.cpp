// The loopback server's thread. Every wait is a short select() or a timed
// wait on the stop condition, so the destructor never waits on a blocked
// socket call and no socket is closed under another thread's feet.
#include "loopback/loopback_http_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <random>
#include <stdexcept>

#include "loopback/clock.h"

namespace {

constexpr long kPollMs = 20;            // how soon a stop request is noticed
constexpr size_t kSendChunk = 64 * 1024;
constexpr int kBindAttempts = 50;
const char kDefaultBody[] = "OK";
// An endless answer that nobody hangs up on ends by itself after this long.
constexpr DWORD kEndlessMs = 60000;

// Winsock is started once, by the first server, for the rest of the process.
struct WinsockUser {
    WinsockUser()
    {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
            throw std::runtime_error("WSAStartup failed");
    }
    ~WinsockUser() { WSACleanup(); }
};

std::string ReasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

// Without a length the body runs until the connection closes.
std::string Head(const ScriptedResponse& response, bool withLength = true)
{
    return "HTTP/1.0 " + std::to_string(response.status) + " " + ReasonPhrase(response.status) +
           "\r\nContent-Type: text/plain\r\n" +
           (response.location.empty() ? "" : "Location: " + response.location + "\r\n") +
           (withLength ? "Content-Length: " + std::to_string(response.body.size()) + "\r\n"
                       : "") +
           "Connection: close\r\n\r\n";
}

std::string RandomLoopbackAddress()
{
    static std::mt19937 generator(GetCurrentProcessId() ^ GetTickCount() ^
                                  static_cast<unsigned>(std::random_device{}()));
    std::uniform_int_distribution<int> part(1, 254);
    return "127." + std::to_string(part(generator)) + "." + std::to_string(part(generator)) + "." +
           std::to_string(part(generator));
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return std::tolower(a) == std::tolower(b); });
}

SOCKET Listen(const std::string& address, u_short port)
{
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET)
        return INVALID_SOCKET;
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    inet_pton(AF_INET, address.c_str(), &where.sin_addr);
    if (bind(listener, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        listen(listener, SOMAXCONN) != 0) {
        closesocket(listener);
        return INVALID_SOCKET;
    }
    return listener;
}

WinsockUser& Winsock()
{
    static WinsockUser user;
    return user;
}

}  // namespace

ScriptedResponse ScriptedResponse::Answer(int status, std::string body, DWORD delayMs)
{
    ScriptedResponse response;
    response.status = status;
    response.body = std::move(body);
    response.delayMs = delayMs;
    return response;
}

ScriptedResponse ScriptedResponse::Redirect(int status, std::string location)
{
    ScriptedResponse response = Answer(status, "<html>Moved</html>");
    response.location = std::move(location);
    return response;
}

ScriptedResponse ScriptedResponse::Endless(int status, std::string body, std::string repeat)
{
    ScriptedResponse response = Answer(status, std::move(body));
    response.kind = Kind::kEndless;
    response.repeat = std::move(repeat);
    return response;
}

ScriptedResponse ScriptedResponse::Trickle(int status, std::string body, DWORD everyMs,
                                           bool headToo)
{
    ScriptedResponse response = Answer(status, std::move(body));
    response.kind = Kind::kTrickle;
    response.trickleMs = everyMs;
    response.trickleFrom = headToo ? 0 : Head(response, false).size();
    return response;
}

ScriptedResponse ScriptedResponse::Of(Kind kind)
{
    ScriptedResponse response;
    response.kind = kind;
    return response;
}

std::string RecordedRequest::Header(const std::string& name) const
{
    for (const std::string& line : headers) {
        if (StartsWithNoCase(line, name + ":")) {
            size_t value = line.find_first_not_of(' ', name.size() + 1);
            return value == std::string::npos ? "" : line.substr(value);
        }
    }
    return "";
}

LoopbackHttpServer::LoopbackHttpServer(const std::string& address, u_short port) : port_(port)
{
    Winsock();
    for (int attempt = 0; attempt < kBindAttempts && listener_ == INVALID_SOCKET; ++attempt) {
        host_ = address.empty() ? RandomLoopbackAddress() : address;
        listener_ = Listen(host_, port_);
        if (!address.empty())
            break;
    }
    if (listener_ == INVALID_SOCKET)
        throw std::runtime_error("loopback server: cannot listen on " + host_ + ":" +
                                 std::to_string(port_));
    thread_ = std::thread([this] { Run(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
    closesocket(listener_);
}

void LoopbackHttpServer::Script(const ScriptedResponse& response)
{
    std::lock_guard<std::mutex> lock(mutex_);
    script_.push_back(response);
}

void LoopbackHttpServer::Hold()
{
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = true;
}

void LoopbackHttpServer::Release()
{
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = false;
}

std::vector<RecordedRequest> LoopbackHttpServer::Requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<RecordedRequest> LoopbackHttpServer::TakeRequests()
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<RecordedRequest> taken;
    taken.swap(requests_);
    return taken;
}

bool LoopbackHttpServer::WaitForRequests(size_t count, DWORD timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return requests_.size() >= count; });
}

bool LoopbackHttpServer::Stopping() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return stopping_;
}

bool LoopbackHttpServer::Held() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return held_;
}

bool LoopbackHttpServer::WaitFor(SOCKET socket, bool forWriting) const
{
    while (!Stopping()) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(socket, &set);
        timeval pause{0, kPollMs * 1000};
        int ready = forWriting ? select(0, nullptr, &set, nullptr, &pause)
                               : select(0, &set, nullptr, nullptr, &pause);
        if (ready != 0)
            return ready > 0;
    }
    return false;
}

// False when the server stops or the client hangs up before the delay and
// the hold are over; a client that gave up must not keep the next connection
// waiting.
bool LoopbackHttpServer::WaitToAnswer(SOCKET client, DWORD delayMs) const
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < delayMs || Held()) {
        if (Stopping())
            return false;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(client, &set);
        timeval pause{0, kPollMs * 1000};
        if (select(0, &set, nullptr, nullptr, &pause) > 0) {
            char byte;
            if (recv(client, &byte, 1, MSG_PEEK) <= 0)
                return false;
        }
    }
    return true;
}

bool LoopbackHttpServer::SendAll(SOCKET socket, const std::string& bytes) const
{
    for (size_t sent = 0; sent < bytes.size();) {
        if (!WaitFor(socket, true))
            return false;
        int chunk = static_cast<int>(std::min(kSendChunk, bytes.size() - sent));
        int n = send(socket, bytes.data() + sent, chunk, 0);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

void LoopbackHttpServer::SendEndless(SOCKET socket, const ScriptedResponse& response) const
{
    if (!SendAll(socket, Head(response, false) + response.body) || response.repeat.empty())
        return;
    std::string chunk;
    while (chunk.size() < kSendChunk)
        chunk += response.repeat;
    const DWORD start = GetTickCount();
    bool clientReads = true;
    while (clientReads && GetTickCount() - start < kEndlessMs)
        clientReads = SendAll(socket, chunk);
}

void LoopbackHttpServer::SendTrickle(SOCKET socket, const ScriptedResponse& response) const
{
    const std::string answer = Head(response, false) + response.body;
    if (!SendAll(socket, answer.substr(0, response.trickleFrom)))
        return;
    for (size_t next = response.trickleFrom; next < answer.size(); ++next) {
        if (!WaitToAnswer(socket, response.trickleMs) || !SendAll(socket, answer.substr(next, 1)))
            return;
    }
}

void LoopbackHttpServer::Run()
{
    while (WaitFor(listener_, false)) {
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            continue;
        Serve(client);
        closesocket(client);
    }
}

bool LoopbackHttpServer::ReadRequest(SOCKET client, RecordedRequest& request)
{
    std::string data;
    size_t headEnd = std::string::npos;
    size_t bodyLength = 0;
    for (;;) {
        if (headEnd == std::string::npos) {
            headEnd = data.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                size_t lineStart = 0;
                while (lineStart < headEnd) {
                    size_t lineEnd = data.find("\r\n", lineStart);
                    std::string line = data.substr(lineStart, lineEnd - lineStart);
                    if (lineStart == 0)
                        request.requestLine = line;
                    else
                        request.headers.push_back(line);
                    lineStart = lineEnd + 2;
                }
                bodyLength = std::strtoul(request.Header("Content-Length").c_str(), nullptr, 10);
            }
        }
        if (headEnd != std::string::npos && data.size() >= headEnd + 4 + bodyLength) {
            request.body = data.substr(headEnd + 4, bodyLength);
            return true;
        }
        if (!WaitFor(client, false))
            return false;
        char buffer[4096];
        int n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        data.append(buffer, static_cast<size_t>(n));
    }
}

ScriptedResponse LoopbackHttpServer::NextResponse()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (script_.empty())
        return ScriptedResponse::Answer(200, kDefaultBody);
    ScriptedResponse next = std::move(script_.front());
    script_.pop_front();
    return next;
}

void LoopbackHttpServer::Serve(SOCKET client)
{
    RecordedRequest request;
    if (!ReadRequest(client, request))
        return;
    request.arrivedMs = NowMs();
    ScriptedResponse response = NextResponse();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
    }
    changed_.notify_all();

    if (!WaitToAnswer(client, response.delayMs))
        return;

    switch (response.kind) {
    case ScriptedResponse::Kind::kAnswer:
        SendAll(client, Head(response) + response.body);
        shutdown(client, SD_SEND);
        break;
    case ScriptedResponse::Kind::kCutShort:
        SendAll(client, Head(response) + response.body.substr(0, response.body.size() / 2));
        shutdown(client, SD_SEND);
        break;
    case ScriptedResponse::Kind::kEndless:
        SendEndless(client, response);
        shutdown(client, SD_SEND);
        break;
    case ScriptedResponse::Kind::kTrickle:
        SendTrickle(client, response);
        shutdown(client, SD_SEND);
        break;
    case ScriptedResponse::Kind::kCloseSilently:
        shutdown(client, SD_SEND);
        break;
    case ScriptedResponse::Kind::kGarbage:
        SendAll(client, "this is not HTTP at all\r\n");
        shutdown(client, SD_SEND);
        break;
    case ScriptedResponse::Kind::kReset: {
        linger abortive{1, 0};
        setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
                   sizeof abortive);
        break;
    }
    }
}
