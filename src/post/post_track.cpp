// Placeholder until the posting code lands.
#include "post/post_track.h"

const char kUseStoredSettings[] = "";

bool PostTrack(const char*, const char*, const char*)
{
    return true;
}
