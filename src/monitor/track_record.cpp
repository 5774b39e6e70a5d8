// The record's copy, written out once.
#include "monitor/track_record.h"

TrackRecord::TrackRecord(const TrackRecord&) = default;
TrackRecord& TrackRecord::operator=(const TrackRecord&) = default;
