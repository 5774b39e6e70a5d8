// bench.exe: the plugin's performance figures, printed as a Markdown table
// with each figure's goal and whether it is met. It measures the real
// gen_tunewire.dll beside it, driven by the player stand-in and posting to
// the bench's own loopback receiver. Exit code 1 when a figure could not be
// measured; a missed goal shows in the table only.
//
//   bench.exe
#include <cstdio>

#include "figures.h"

namespace {

void Progress(const char* what)
{
    std::fprintf(stderr, "bench: %s\n", what);
}

}  // namespace

int main()
{
    Report report;
    MeasureImage(report);
    LoopbackReceiver receiver;
    if (!receiver.Listening()) {
        std::fprintf(stderr, "bench: cannot listen on port 80 of a loopback address\n");
        return 1;
    }
    Progress("form encoding and line reading");
    MeasureUrlEncode(report);
    MeasureReadLine(receiver, report);

    HostWindow window;
    if (window.Handle() == nullptr) {
        std::fprintf(stderr, "bench: cannot create the host window (no display?)\n");
        return 1;
    }
    Progress("track changes, then playing without changes");
    MeasureTrackChanges(window, receiver, report);
    Progress("quit while the monitor pauses");
    MeasureQuitWhilePausing(window, receiver, report);
    Progress("quit while a post is stuck");
    MeasureQuitWhilePostHeld(window, receiver, report);

    report.Print();
    return report.Failed() ? 1 : 0;
}
