// One record under a lock: the monitor's thread writes it, the player's
// thread reads a copy.
#include "monitor/latest_track.h"

#include "common/critical_section.h"

namespace {

CriticalSection g_section;
bool g_kept = false;
TrackRecord g_record;

}  // namespace

void KeepLatestTrack(const TrackRecord& record)
{
    CriticalSectionGuard guard(g_section);
    g_record = record;
    g_kept = true;
}

void ForgetLatestTrack()
{
    CriticalSectionGuard guard(g_section);
    g_record = TrackRecord();
    g_kept = false;
}

bool LatestTrack(TrackRecord& record)
{
    CriticalSectionGuard guard(g_section);
    if (g_kept)
        record = g_record;
    return g_kept;
}
