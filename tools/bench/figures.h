// The bench's measurements; each adds its rows to the report, or a failed row
// when it could not measure.
#pragma once

#include <string>

#include "host_window.h"
#include "loopback/loopback_http_server.h"
#include "report.h"

// Through the real DLL, on the host window's thread; `instant` turns the
// Instant key on, and the stand-in's notifications then wake the monitor.
void MeasureTrackChanges(HostWindow& window, LoopbackHttpServer& server, bool instant,
                         Report& report);
// The same over TLS: `setting` is an https:// server whose terminator relays
// to `server`.
void MeasureSecureTrackChanges(HostWindow& window, LoopbackHttpServer& server,
                               const std::string& setting, bool instant, Report& report);
// With a title file: how soon a pause and a seek reach the overlay's data
// beside it, then the monitor's cost while playing on.
void MeasureOverlayProgress(HostWindow& window, LoopbackHttpServer& server, Report& report);
void MeasureQuitWhilePausing(HostWindow& window, LoopbackHttpServer& server, Report& report);
void MeasureQuitWhilePostHeld(HostWindow& window, LoopbackHttpServer& server, Report& report);

// The plugin's own tag queries, sent to `window` from another thread.
void MeasureTagQueries(HostWindow& window, Report& report);

// The plugin's own code, linked into the bench.
void MeasureUrlEncode(Report& report);
void MeasureReadLine(LoopbackHttpServer& server, Report& report);
// The embedded cover reader over a large file without a picture.
void MeasureEmbeddedCover(Report& report);

// The DLL file beside bench.exe.
void MeasureImage(Report& report);
