// Throughput of the plugin's own text handling, linked into the bench: the
// form encoder, and line reading over real WinInet from the loopback server
// (so a figure includes the loopback transfer, as in a post).
#include <algorithm>

#include "loopback/clock.h"
#include "figures.h"
#include "http/exception.h"
#include "http/http_file.h"
#include "http/internet_connection.h"
#include "http/internet_session.h"
#include "post/url_encode.h"

namespace {

constexpr size_t kMegabyte = 1 << 20;
constexpr double kEncodeAtLeastMs = 500;  // enough repetitions to rise above timer noise
constexpr int kReadTries = 5;             // the best of five, against a busy machine
constexpr double kLinearGoal = 12;        // 10 times the body within 12 times the time

std::string Repeat(const std::string& unit, size_t size)
{
    std::string text;
    while (text.size() < size)
        text += unit;
    text.resize(size);
    return text;
}

// The time a ReadLine loop takes to read `body` to its end; negative when a
// request fails or the lines do not add up to the body.
double ReadAllLinesMs(LoopbackHttpServer& server, const std::string& body)
{
    server.Script(ScriptedResponse::Answer(200, body));
    try {
        CInternetSession session("Tunewire bench", 1, INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                 nullptr, 0);
        auto connection = session.ConnectHttp(server.Host().c_str(), 80, nullptr, nullptr);
        auto request = connection->CreateRequest("POST", "/bench/lines", nullptr, 1, nullptr,
                                                 nullptr, INTERNET_FLAG_RELOAD);
        request->Send("", "track=x", 7);
        double start = NowMs();
        std::string line;
        size_t bytes = 0;
        while (request->ReadLine(line))
            bytes += line.size() + 1;
        double elapsed = NowMs() - start;
        return bytes == body.size() + (body.back() != '\n') ? elapsed : -1;
    } catch (CInternetException* exception) {
        exception->Discard();
        return -1;
    }
}

double BestReadMs(LoopbackHttpServer& server, const std::string& body)
{
    double best = ReadAllLinesMs(server, body);
    for (int i = 1; i < kReadTries && best >= 0; ++i)
        best = std::min(best, ReadAllLinesMs(server, body));
    return best;
}

}  // namespace

void MeasureUrlEncode(Report& report)
{
    std::string allBytes;
    for (int byte = 1; byte <= 0xFF; ++byte)
        allBytes += char(byte);
    const std::pair<const char*, std::string> inputs[] = {
        {"UrlEncode, titles",
         Repeat("Bench Artist - Track 01 (Live at the Hall, 1999) ", kMegabyte)},
        {"UrlEncode, every byte 01..FF", Repeat(allBytes, kMegabyte)},
    };
    for (const auto& [name, text] : inputs) {
        double in = 0, out = 0, elapsed = 0;
        for (double start = NowMs(); elapsed < kEncodeAtLeastMs; elapsed = NowMs() - start) {
            out += UrlEncode(text).size();
            in += text.size();
        }
        report.Add(name, Format("%.0f MB/s of input (output %.1fx its size)",
                                in / kMegabyte / (elapsed / 1000), out / in));
    }
}

// Two shapes of body: ordinary 80-character lines, and one line of the whole
// size, where a line that grew by a fixed step would turn quadratic.
void MeasureReadLine(LoopbackHttpServer& server, Report& report)
{
    const std::pair<const char*, std::string> shapes[] = {
        {"80-character lines", std::string(79, 'x') + "\n"}, {"one line", "x"}};
    for (const auto& [name, unit] : shapes) {
        std::string figure = Format("ReadLine over WinInet, %s", name);
        double oneMs = BestReadMs(server, Repeat(unit, kMegabyte));
        double tenMs = BestReadMs(server, Repeat(unit, 10 * kMegabyte));
        if (oneMs < 0 || tenMs < 0) {
            report.Fail(figure, "a read from the loopback server failed");
            continue;
        }
        report.Add(figure + ", 1 MB", Format("%.0f MB/s (%.0f ms)", 1000 / oneMs, oneMs));
        report.AddGoal(figure + ", 10 MB",
                       Format("%.0f MB/s (%.0f ms, %.1fx the 1 MB time)", 10000 / tenMs, tenMs,
                              tenMs / oneMs),
                       Format("within %.0fx the 1 MB time", kLinearGoal),
                       tenMs <= kLinearGoal * oneMs);
    }
}
