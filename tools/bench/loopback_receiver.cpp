#include "loopback_receiver.h"

#include <algorithm>
#include <cstdlib>
#include <random>

#include "clock.h"

namespace {

constexpr long kAcceptPollUs = 50000;     // how soon the accept loop notices the end
constexpr DWORD kClientTimeoutMs = 5000;  // a client that stalls mid-request is dropped

// The request's total length once its head is in (Content-Length says the
// rest); 0 while the head is incomplete.
size_t RequestLength(const std::string& request)
{
    size_t headEnd = request.find("\r\n\r\n");
    if (headEnd == std::string::npos)
        return 0;
    std::string head = request.substr(0, headEnd);
    std::transform(head.begin(), head.end(), head.begin(), [](char c) { return char(tolower(c)); });
    const std::string name = "\r\ncontent-length:";
    size_t at = head.find(name);
    size_t bodyLength =
        at == std::string::npos ? 0 : std::strtoul(&head[at + name.size()], nullptr, 10);
    return headEnd + 4 + bodyLength;
}

}  // namespace

// A random address of the loopback range keeps the bench clear of any other
// server on 127.0.0.1:80, the test suite's included.
LoopbackReceiver::LoopbackReceiver(const std::string& given)
{
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    std::mt19937 random(GetTickCount() ^ GetCurrentProcessId());
    std::uniform_int_distribution<u_long> octets(0x10101, 0xFEFEFE);
    const int attempts = given.empty() ? 20 : 1;
    for (int attempt = 0; attempt < attempts && !Listening(); ++attempt) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(80);  // the plugin always posts to port 80
        address.sin_addr.s_addr = given.empty() ? htonl(0x7F000000 | octets(random))
                                                : inet_addr(given.c_str());
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            listen(listener_, SOMAXCONN) == 0) {
            host_ = inet_ntoa(address.sin_addr);
        } else {
            closesocket(listener_);
            listener_ = INVALID_SOCKET;
        }
    }
    if (Listening())
        thread_ = std::thread([this] { Serve(); });
}

LoopbackReceiver::~LoopbackReceiver()
{
    SetEvent(stop_.Get());
    if (thread_.joinable())
        thread_.join();
    closesocket(listener_);
    WSACleanup();
}

void LoopbackReceiver::SetBody(std::string body)
{
    std::lock_guard<std::mutex> lock(mutex_);
    body_ = std::move(body);
}

std::vector<double> LoopbackReceiver::Arrivals() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return arrivals_;
}

void LoopbackReceiver::Serve()
{
    while (WaitForSingleObject(stop_.Get(), 0) == WAIT_TIMEOUT) {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(listener_, &ready);
        timeval wait{0, kAcceptPollUs};
        SOCKET client = select(0, &ready, nullptr, nullptr, &wait) == 1
                            ? accept(listener_, nullptr, nullptr)
                            : INVALID_SOCKET;
        if (client == INVALID_SOCKET)
            continue;
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO,
                   reinterpret_cast<const char*>(&kClientTimeoutMs), sizeof kClientTimeoutMs);
        if (ReadRequest(client))
            Answer(client);
        closesocket(client);
    }
}

// The arrival is stamped when the request's last byte is in.
bool LoopbackReceiver::ReadRequest(SOCKET client)
{
    std::string request;
    char chunk[4096];
    while (RequestLength(request) == 0 || request.size() < RequestLength(request)) {
        int got = recv(client, chunk, sizeof chunk, 0);
        if (got <= 0)
            return false;
        request.append(chunk, size_t(got));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    arrivals_.push_back(NowMs());
    return true;
}

void LoopbackReceiver::Answer(SOCKET client)
{
    HANDLE releaseOrStop[] = {release_.Get(), stop_.Get()};
    WaitForMultipleObjects(2, releaseOrStop, FALSE, INFINITE);
    std::string response;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        response = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body_.size()) +
                   "\r\nConnection: close\r\n\r\n" + body_;
    }
    for (size_t done = 0; done < response.size();) {
        int sent = send(client, response.data() + done, int(response.size() - done), 0);
        if (sent <= 0)
            break;
        done += size_t(sent);
    }
    shutdown(client, SD_SEND);
}
