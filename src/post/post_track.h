// One complete post of a track title: settle the server and form path, send
// "track=<encoded title>" as an HTML form, report the outcome to the user.
// Runs entirely on the calling thread; message boxes and a dialog it opens
// block that thread.
#pragma once

// The stored-settings marker. Passed as server or form path, it makes the post
// load the stored settings. It is recognised by address only: any other empty
// text is an explicit (and invalid) value, which makes the post a test post.
extern const char kUseStoredSettings[];

bool PostTrack(const char* title, const char* server, const char* formPath);
