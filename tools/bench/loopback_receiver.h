// The bench's own web server: an accept loop on port 80 of a random 127.x.y.z
// that reads each request whole, stamps its arrival with NowMs and answers
// 200 with the body set last. While held, answers wait for Release (or the
// receiver's end), which keeps a post of the plugin's stuck. One connection
// at a time, on the receiver's own thread.
#pragma once

#include <winsock2.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/unique_handle.h"

class LoopbackReceiver {
public:
    // `address` empty: a random 127.x.y.z. A given one is where a TLS
    // terminator started before the bench relays to.
    explicit LoopbackReceiver(const std::string& address = "");
    ~LoopbackReceiver();
    LoopbackReceiver(const LoopbackReceiver&) = delete;
    LoopbackReceiver& operator=(const LoopbackReceiver&) = delete;

    bool Listening() const { return listener_ != INVALID_SOCKET; }
    const std::string& Host() const { return host_; }

    void SetBody(std::string body);
    void Hold() { ResetEvent(release_.Get()); }
    void Release() { SetEvent(release_.Get()); }

    // When each request so far was in whole, in NowMs time.
    std::vector<double> Arrivals() const;

private:
    void Serve();
    bool ReadRequest(SOCKET client);
    void Answer(SOCKET client);

    SOCKET listener_ = INVALID_SOCKET;
    std::string host_;
    UniqueHandle stop_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle release_{CreateEventA(nullptr, TRUE, TRUE, nullptr)};  // set: answer at once
    mutable std::mutex mutex_;  // guards the body and the arrivals
    std::string body_ = "OK";
    std::vector<double> arrivals_;
    std::thread thread_;
};
