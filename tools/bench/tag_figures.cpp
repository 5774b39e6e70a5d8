// What a new track's tags cost the monitor thread: the plugin's own tag
// queries, sent from a thread of their own to the stand-in's window as the
// monitor sends them, while this thread answers. A floor: the player's
// decoders read the file's tags, which the stand-in keeps in memory.
#include <algorithm>
#include <string>
#include <vector>

#include "figures.h"
#include "loopback/clock.h"
#include "monitor/track_fields.h"

namespace {

constexpr int kTracks = 50;
constexpr double kGoalMs = 5;
const wchar_t kFile[] = L"C:\\Music\\Bench\\track01.mp3";

struct TagRun {
    HWND host;
    std::string format;
    std::vector<double> costs;
};

DWORD WINAPI AskTags(LPVOID parameter)
{
    TagRun& run = *static_cast<TagRun*>(parameter);
    const char ansiFile[] = "C:\\Music\\Bench\\track01.mp3";
    for (int i = 0; i < kTracks; ++i) {
        TrackFields fields;
        const double start = NowMs();
        AskTrackFields(run.host, ansiFile, kFile, true, run.format, fields);
        run.costs.push_back(NowMs() - start);
    }
    return 0;
}

void Measure(HostWindow& window, const char* format, bool olderPlayer, const char* figure,
             Report& report)
{
    window.SetAnsiOnly(olderPlayer);
    TagRun run{window.Handle(), format, {}};
    HANDLE thread = CreateThread(nullptr, 0, AskTags, &run, 0, nullptr);
    window.PumpUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 60000);
    CloseHandle(thread);
    window.SetAnsiOnly(false);
    if (run.costs.size() != kTracks) {
        report.Fail(figure, "the queries did not finish");
        return;
    }
    std::sort(run.costs.begin(), run.costs.end());
    const double p95 = run.costs[kTracks * 95 / 100 - 1];
    report.AddGoal(Format("%s, 95th percentile of %d tracks", figure, kTracks),
                   Format("%.2f ms (median %.2f)", p95, run.costs[kTracks / 2]),
                   Format("< %.0f ms", kGoalMs), p95 < kGoalMs);
}

}  // namespace

void MeasureTagQueries(HostWindow& window, Report& report)
{
    window.SetTags(kFile, {{"artist", L"Bench Artist"}, {"title", L"Track 01 (Live)"},
                           {"album", L"Bench Album"}, {"year", L"2026"}, {"track", L"1"}});
    const char* everyField = "%artist% %title% %album% %albumartist% %year% %track% %genre%";
    Measure(window, "", false, "Tags of a new track (artist, title, album): three wide queries",
            report);
    Measure(window, everyField, false,
            "Tags of a new track, a format of all seven: seven wide queries", report);
    Measure(window, everyField, true,
            "Tags of a new track, all seven, from an older player: seven wide, seven ANSI", report);
}
