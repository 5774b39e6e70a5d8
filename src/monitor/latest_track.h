// The record of the track that plays now, kept by the monitor for the
// Enhanced Features dialog's preview, which runs on the player's thread and
// must not ask the player for what the monitor already asked.
#pragma once

#include "monitor/track_record.h"

// Kept by the monitor for each record it posts of a playing track.
void KeepLatestTrack(const TrackRecord& record);
// Forgotten when the player stops, and when the monitor ends.
void ForgetLatestTrack();
// False when nothing plays (or nothing was posted since the player started).
bool LatestTrack(TrackRecord& record);
