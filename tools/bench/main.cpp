// bench.exe: the plugin's performance figures, printed as a Markdown table
// with each figure's goal and whether it is met. It measures the real
// gen_tunewire.dll beside it, driven by the player stand-in and posting to
// the loopback HTTP server in this process. Exit code 1 when a figure could
// not be measured; a missed goal shows in the table only.
//
//   bench.exe [--rows FILE] [--https TLS_HOST SERVER_ADDRESS]
//
// With --https the server listens on SERVER_ADDRESS, where a TLS terminator
// on TLS_HOST:443 (started by scripts/bench.sh) relays, and the track-change
// figure is measured over HTTPS too. --rows adds the rows of FILE, figures
// measured outside Wine (the form handler's, by scripts/bench.sh), to the end
// of the table.
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
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
    const char* rows = nullptr;
    if (argc >= 3 && std::strcmp(argv[1], "--rows") == 0) {
        rows = argv[2];
        argc -= 2;
        argv += 2;
    }
    const bool secure = argc == 4 && std::strcmp(argv[1], "--https") == 0;
    if (argc != 1 && !secure) {
        std::fprintf(stderr, "usage: bench.exe [--rows FILE] [--https TLS_HOST SERVER_ADDRESS]\n");
        return 2;
    }
    Report report;
    report.SetBuild("x86 (the shipped file)");
    MeasureImage(report);
    // Everything else runs the DLL beside the bench, of the bench's own kind.
#ifdef _WIN64
    report.SetBuild("x86-64 test build");
#else
    report.SetBuild("x86");
#endif
    std::optional<LoopbackHttpServer> server;
    try {
        server.emplace(secure ? argv[3] : "");
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "bench: %s\n", error.what());
        return 1;
    }
    Progress("form encoding and line reading");
    MeasureUrlEncode(report);
    MeasureReadLine(*server, report);
    Progress("the embedded cover of a large file");
    MeasureEmbeddedCover(report);

    HostWindow window;
    if (window.Handle() == nullptr) {
        std::fprintf(stderr, "bench: cannot create the host window (no display?)\n");
        return 1;
    }
    for (bool instant : {false, true}) {
        Progress(instant ? "with Instant=1: track changes, then playing without changes"
                         : "track changes, then playing without changes");
        MeasureTrackChanges(window, *server, instant, report);
        if (secure) {
            Progress("track changes over HTTPS");
            MeasureSecureTrackChanges(window, *server, std::string("https://") + argv[2], instant,
                                      report);
        }
    }
    Progress("with a title file: pauses and seeks, then playing without changes");
    MeasureOverlayProgress(window, *server, report);
    Progress("the tags of a new track");
    MeasureTagQueries(window, report);
    Progress("quit while the monitor pauses");
    MeasureQuitWhilePausing(window, *server, report);
    Progress("quit while a post is stuck");
    MeasureQuitWhilePostHeld(window, *server, report);

    if (rows != nullptr && !report.AddTabbedRows(rows))
        report.Fail("rows measured outside Wine", std::string("cannot read ") + rows);
    report.Print();
    return report.Failed() ? 1 : 0;
}
