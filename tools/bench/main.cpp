// bench.exe: the plugin's performance figures, printed as a Markdown table
// with each figure's goal and whether it is met. It measures the real
// gen_tunewire.dll beside it, driven by the player stand-in and posting to
// the bench's own loopback receiver. Exit code 1 when a figure could not be
// measured; a missed goal shows in the table only.
//
//   bench.exe [--https TLS_HOST RECEIVER_ADDRESS]
//
// With --https the receiver listens on RECEIVER_ADDRESS, where a TLS
// terminator on TLS_HOST:443 (started by scripts/bench.sh) relays, and the
// track-change figure is measured over HTTPS too.
#include <cstdio>
#include <cstring>
#include <string>

#include "figures.h"

namespace {

void Progress(const char* what)
{
    std::fprintf(stderr, "bench: %s\n", what);
}

}  // namespace

int main(int argc, char** argv)
{
    const bool secure = argc == 4 && std::strcmp(argv[1], "--https") == 0;
    if (argc != 1 && !secure) {
        std::fprintf(stderr, "usage: bench.exe [--https TLS_HOST RECEIVER_ADDRESS]\n");
        return 2;
    }
    Report report;
    MeasureImage(report);
    LoopbackReceiver receiver(secure ? argv[3] : "");
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
    if (secure) {
        Progress("track changes over HTTPS");
        MeasureSecureTrackChanges(window, receiver, std::string("https://") + argv[2], report);
    }
    Progress("quit while the monitor pauses");
    MeasureQuitWhilePausing(window, receiver, report);
    Progress("quit while a post is stuck");
    MeasureQuitWhilePostHeld(window, receiver, report);

    report.Print();
    return report.Failed() ? 1 : 0;
}
