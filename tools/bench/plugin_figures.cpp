// Figures of the plugin at work in the player stand-in: how soon a track
// change reaches the server and a pause or a seek the overlay's data, how
// long quit takes, and what the monitor thread costs while nothing changes.
// The host window is pumped throughout, since the monitor's queries are
// answered on this thread.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "loopback/clock.h"
#include "figures.h"
#include "host/host_queries.h"
#include "plugin_run.h"

namespace {

constexpr int kTrackChanges = 30;
constexpr DWORD kPollMs = 1000;           // the monitor's pause while the player plays
constexpr DWORD kArrivalTimeoutMs = 5000;  // a post that takes longer has gone wrong
constexpr double kChangeGoalMs = 1050;    // the poll wait plus under 50 ms of work
// With Instant=1 no poll is waited for, and no two posts come within a
// second: each change then comes a second or more after the previous post.
constexpr double kInstantChangeGoalMs = 50;
constexpr DWORD kInstantPostSpacingMs = 1000;
const char kInstantLine[] = "Instant=1\r\n";
// A relative title file lies in the run's own folder, and the overlay's data
// beside it.
const char kTitleFileLine[] = "TitleFile=nowplaying.txt\r\n";
const char kOverlayDataName[] = "nowplaying.json";
// Each pause takes about three seconds (its resume is seen within two),
// each seek one: together about 40 s of the bench.
constexpr int kProgressChanges = 10;
constexpr int kSeekMs = 60000;
constexpr long kSeekMatchMs = 3000;     // the data holds the new place within this
constexpr int kLongTrackSeconds = 3600;  // room for every seek
constexpr int kQuitSamples = 5;
constexpr double kQuitPausingGoalMs = 20;
constexpr double kQuitWaitMs = 3000;      // quit's bound on waiting for the monitor
constexpr double kQuitHeldGoalMs = kQuitWaitMs + 50;
// Scaled to a minute, to keep the bench short. Thread times advance in clock
// steps (10 ms under Wine), so one step here is 13 ms per minute.
constexpr DWORD kCpuWindowMs = 45000;
constexpr double kCpuGoalMsPerMinute = 60;

std::mt19937 g_random(GetTickCount());

// Nearest-rank percentile of a non-empty sample.
double Percentile(std::vector<double> sample, double fraction)
{
    std::sort(sample.begin(), sample.end());
    size_t rank = size_t(std::ceil(fraction * sample.size()));
    return sample[std::max<size_t>(rank, 1) - 1];
}

void SetUpPlaylist(HostWindow& window, int firstLength = 180)
{
    for (int i = 0; i <= kTrackChanges; ++i)
        window.SetEntry(i, Format("C:\\Music\\Bench\\track%02d.mp3", i).c_str(),
                        Format("Bench Artist - Track %02d (Live)", i).c_str());
    window.Play(0, firstLength);
}

// One random delay in each `count`th of the poll interval, in random order:
// every phase is as likely, and the median and percentile vary little from
// one run of the bench to the next.
std::vector<DWORD> PollPhases(int count, DWORD spacing)
{
    std::uniform_real_distribution<double> within(0, 1);
    std::vector<DWORD> delays;
    for (int i = 0; i < count; ++i)
        delays.push_back(spacing + DWORD((i + within(g_random)) * kPollMs / count));
    std::shuffle(delays.begin(), delays.end(), g_random);
    return delays;
}

void AddLatencyRows(Report& report, const std::string& figure, const std::vector<double>& latencies,
                    double goal)
{
    report.Add(Format("%s, median of %d", figure.c_str(), int(latencies.size())),
               Format("%.0f ms", Percentile(latencies, 0.5)));
    double p95 = Percentile(latencies, 0.95);
    report.AddGoal(Format("%s, 95th percentile", figure.c_str()), Format("%.0f ms", p95),
                   Format("< %.0f ms", goal), p95 < goal);
}

// Pumps until the server has more than `count` requests.
bool AwaitPost(HostWindow& window, const LoopbackHttpServer& server, size_t count)
{
    return window.PumpUntil([&] { return server.Requests().size() > count; }, kArrivalTimeoutMs);
}

// Pumps until the plugin has posted its first track. The count taken after
// init is the one before that post: the post waits for the host's answers,
// which only come once this thread pumps.
bool StartPlaying(HostWindow& window, const LoopbackHttpServer& server, PluginRun& run,
                  Report& report, const char* figure)
{
    if (!run.Error().empty())
        report.Fail(figure, run.Error());
    else if (!AwaitPost(window, server, server.Requests().size()))
        report.Fail(figure, "the playing track was never posted");
    else
        return true;
    return false;
}

double ThreadCpuMs(HANDLE thread)
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(thread, &created, &exited, &kernel, &user);
    auto ms = [](FILETIME t) {
        return (ULONGLONG(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e4;  // 100 ns units
    };
    return ms(kernel) + ms(user);
}

void MeasureIdleCpu(HostWindow& window, PluginRun& run, const std::string& with, Report& report)
{
    double before = ThreadCpuMs(run.Monitor());
    window.Pump(kCpuWindowMs);
    double used = ThreadCpuMs(run.Monitor()) - before;
    double perMinute = used * 60000.0 / kCpuWindowMs;
    report.AddGoal("Monitor thread CPU per minute playing, no changes" + with,
                   Format("%.0f ms (%.0f ms in %u s)", perMinute, used,
                          unsigned(kCpuWindowMs / 1000)),
                   Format("< %.0f ms", kCpuGoalMsPerMinute), perMinute < kCpuGoalMsPerMinute);
}

// Each change comes at a random moment within the monitor's poll: the monitor
// pauses one poll interval after each post, and the delay after the previous
// post's arrival spans that interval (after the second in which an Instant
// monitor posts nothing more). False when a change was never posted.
bool MeasureLatencies(HostWindow& window, const LoopbackHttpServer& server, PluginRun& run,
                      const std::string& figure, bool instant, Report& report)
{
    const DWORD spacing = instant ? kInstantPostSpacingMs : 0;
    const double goal = instant ? kInstantChangeGoalMs : kChangeGoalMs;
    if (!StartPlaying(window, server, run, report, figure.c_str()))
        return false;
    const std::vector<DWORD> delays = PollPhases(kTrackChanges, spacing);
    std::vector<double> latencies;
    for (int i = 1; i <= kTrackChanges; ++i) {
        window.Pump(delays[i - 1]);
        size_t before = server.Requests().size();
        double changedAt = NowMs();
        window.Play(i, 180 + i);
        if (!AwaitPost(window, server, before)) {
            report.Fail(figure, Format("change %d was never posted", i));
            return false;
        }
        latencies.push_back(server.Requests().at(before).arrivedMs - changedAt);
    }
    AddLatencyRows(report, figure, latencies, goal);
    return true;
}

// The overlay's data as the monitor last wrote it, read again only when its
// time stamp changes: the bench then opens it just after the monitor replaced
// it, never while the monitor replaces it again.
struct OverlayData {
    std::string path;
    FILETIME written{};
    std::string json{};
};

const std::string& Latest(OverlayData& data)
{
    WIN32_FILE_ATTRIBUTE_DATA now;
    if (GetFileAttributesExA(data.path.c_str(), GetFileExInfoStandard, &now) &&
        CompareFileTime(&now.ftLastWriteTime, &data.written) != 0) {
        std::ifstream file(data.path, std::ios::binary);
        std::string json{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        if (file && !json.empty()) {
            data.written = now.ftLastWriteTime;
            data.json = json;
        }
    }
    return data.json;
}

bool SaysState(OverlayData& data, const char* state)
{
    return Latest(data).find(Format("\"state\":\"%s\"", state)) != std::string::npos;
}

// The position the data holds, -1 when it holds none.
long PositionHeld(OverlayData& data)
{
    const std::string& json = Latest(data);
    const char key[] = "\"position\":";
    size_t at = json.find(key);
    return at == std::string::npos ? -1
                                   : std::strtol(json.c_str() + at + sizeof key - 1, nullptr, 10);
}

// Where the stand-in's track is now, by its latest answer to the monitor's
// position query: while it plays, the place runs on GetTickCount.
long PlayedMs(const HostWindow& window)
{
    const std::vector<HostQueryRecord> queries = window.Queries();
    for (auto query = queries.rbegin(); query != queries.rend(); ++query)
        if (query->code == kQueryTrackLength && query->argument == kPositionArgument)
            return long(query->answer + (GetTickCount() - query->tick));
    return 0;
}

// As with a track change, each pause or seek comes at a random moment within
// the monitor's poll: the delay runs from the previous write of the data,
// which the monitor makes within a turn. A pause is resumed as soon as the
// data says so, and the next delay runs from the write that says "playing".
bool MeasureProgressLatencies(HostWindow& window, OverlayData& data, bool pause, Report& report)
{
    const std::string figure = pause ? "Pause to the overlay's data saying paused"
                                     : "Seek to the overlay's data holding the new position";
    std::vector<double> latencies;
    for (DWORD delay : PollPhases(kProgressChanges, 0)) {
        window.Pump(delay);
        const long target = pause ? 0 : PlayedMs(window) + kSeekMs;
        double changedAt = NowMs();
        if (pause)
            window.Pause(0, kLongTrackSeconds);
        else
            window.Seek(int(target));
        bool shown = window.PumpUntil(
            [&] {
                return pause ? SaysState(data, "paused")
                             : std::labs(PositionHeld(data) - target) < kSeekMatchMs;
            },
            kArrivalTimeoutMs);
        latencies.push_back(NowMs() - changedAt);
        if (shown && pause)
            shown = window.Resume() &&
                    window.PumpUntil([&] { return SaysState(data, "playing"); }, kArrivalTimeoutMs);
        if (!shown) {
            report.Fail(figure, Format("change %d never reached the data", int(latencies.size())));
            return false;
        }
    }
    AddLatencyRows(report, figure, latencies, kChangeGoalMs);
    return true;
}

}  // namespace

void MeasureTrackChanges(HostWindow& window, LoopbackHttpServer& server, bool instant,
                         Report& report)
{
    SetUpPlaylist(window);
    PluginRun run(window, server.Host(), instant ? kInstantLine : "");
    const std::string with = instant ? " with Instant=1" : "";
    if (MeasureLatencies(window, server, run, "Track change to request at the server" + with,
                         instant, report))
        MeasureIdleCpu(window, run, with, report);
}

void MeasureOverlayProgress(HostWindow& window, LoopbackHttpServer& server, Report& report)
{
    SetUpPlaylist(window, kLongTrackSeconds);
    PluginRun run(window, server.Host(), kTitleFileLine);
    OverlayData data{run.PathOf(kOverlayDataName)};
    if (!StartPlaying(window, server, run, report, "The overlay's data with a title file"))
        return;
    if (!window.PumpUntil([&] { return SaysState(data, "playing"); }, kArrivalTimeoutMs)) {
        report.Fail("The overlay's data with a title file", "never written");
        return;
    }
    if (MeasureProgressLatencies(window, data, false, report) &&
        MeasureProgressLatencies(window, data, true, report))
        MeasureIdleCpu(window, run, ", with a title file", report);
}

// Each post makes its own session, so every one pays for a whole handshake.
void MeasureSecureTrackChanges(HostWindow& window, LoopbackHttpServer& server,
                               const std::string& setting, bool instant, Report& report)
{
    SetUpPlaylist(window);
    PluginRun run(window, setting, instant ? kInstantLine : "");
    MeasureLatencies(window, server, run,
                     std::string("Track change to request at the server over HTTPS") +
                         (instant ? " with Instant=1" : ""),
                     instant, report);
}

// Quit comes between 200 and 800 ms after the monitor's latest query, so the
// monitor is inside its pause, not waiting for this thread to answer.
void MeasureQuitWhilePausing(HostWindow& window, LoopbackHttpServer& server, Report& report)
{
    const char* figure = "PluginQuit while the monitor pauses";
    std::uniform_int_distribution<DWORD> phase(200, 800);
    std::vector<double> samples;
    for (int i = 0; i < kQuitSamples; ++i) {
        SetUpPlaylist(window);
        PluginRun run(window, server.Host());
        if (!StartPlaying(window, server, run, report, figure))
            return;
        window.ClearQueries();
        window.PumpUntil([&] { return !window.Queries().empty(); }, 2 * kPollMs);
        window.Pump(phase(g_random));
        samples.push_back(run.Quit());
    }
    double worst = *std::max_element(samples.begin(), samples.end());
    report.AddGoal(Format("%s, worst of %d", figure, kQuitSamples),
                   Format("%.1f ms (median %.1f)", worst, Percentile(samples, 0.5)),
                   Format("< %.0f ms", kQuitPausingGoalMs), worst < kQuitPausingGoalMs);
}

// The server holds its answer, so the monitor sits inside a post when quit
// comes; the answer is released afterwards and the monitor ends on its own.
void MeasureQuitWhilePostHeld(HostWindow& window, LoopbackHttpServer& server, Report& report)
{
    const char* figure = "PluginQuit while a post is stuck";
    SetUpPlaylist(window);
    server.Hold();
    PluginRun run(window, server.Host());
    bool posting = StartPlaying(window, server, run, report, figure);
    double quitMs = posting ? run.Quit() : 0;
    server.Release();
    if (!posting)
        return;
    bool ended = window.PumpUntil(
        [&] { return WaitForSingleObject(run.Monitor(), 0) == WAIT_OBJECT_0; }, kArrivalTimeoutMs);
    report.AddGoal(figure,
                   Format("%.0f ms; monitor %s once answered", quitMs,
                          ended ? "ended" : "still running"),
                   Format("< %.0f ms (the 3 s wait)", kQuitHeldGoalMs),
                   quitMs < kQuitHeldGoalMs && ended);
}
