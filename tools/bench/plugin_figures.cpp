// Figures of the plugin at work in the player stand-in: how soon a track
// change reaches the server, how long quit takes, and what the monitor thread
// costs while nothing changes. The host window is pumped throughout, since the
// monitor's queries are answered on this thread.
#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "loopback/clock.h"
#include "figures.h"
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

void SetUpPlaylist(HostWindow& window)
{
    for (int i = 0; i <= kTrackChanges; ++i)
        window.SetEntry(i, Format("C:\\Music\\Bench\\track%02d.mp3", i).c_str(),
                        Format("Bench Artist - Track %02d (Live)", i).c_str());
    window.Play(0, 180);
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
    // One random delay in each thirtieth of the poll interval, in random order:
    // every phase is as likely, and the median and percentile vary little
    // from one run of the bench to the next.
    std::uniform_real_distribution<double> within(0, 1);
    std::vector<DWORD> delays;
    for (int i = 0; i < kTrackChanges; ++i)
        delays.push_back(spacing + DWORD((i + within(g_random)) * kPollMs / kTrackChanges));
    std::shuffle(delays.begin(), delays.end(), g_random);
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
    report.Add(Format("%s, median of %d", figure.c_str(), kTrackChanges),
               Format("%.0f ms", Percentile(latencies, 0.5)));
    double p95 = Percentile(latencies, 0.95);
    report.AddGoal(Format("%s, 95th percentile", figure.c_str()), Format("%.0f ms", p95),
                   Format("< %.0f ms", goal), p95 < goal);
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
