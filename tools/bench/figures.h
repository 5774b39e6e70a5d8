// The bench's measurements; each adds its rows to the report, or a failed row
// when it could not measure.
#pragma once

#include <string>

#include "host_window.h"
#include "loopback_receiver.h"
#include "report.h"

// Through the real DLL, on the host window's thread.
void MeasureTrackChanges(HostWindow& window, LoopbackReceiver& receiver, Report& report);
// The same over TLS: `server` is an https:// setting whose terminator relays
// to the receiver.
void MeasureSecureTrackChanges(HostWindow& window, LoopbackReceiver& receiver,
                               const std::string& server, Report& report);
void MeasureQuitWhilePausing(HostWindow& window, LoopbackReceiver& receiver, Report& report);
void MeasureQuitWhilePostHeld(HostWindow& window, LoopbackReceiver& receiver, Report& report);

// The plugin's own code, linked into the bench.
void MeasureUrlEncode(Report& report);
void MeasureReadLine(LoopbackReceiver& receiver, Report& report);

// The DLL file beside bench.exe.
void MeasureImage(Report& report);
