// Turns a playlist script's events into what the stand-in's window answers:
// an entry's texts for its position, a file's tags, the play state and the
// place in the track. hostsim.exe and the tests apply scripts through here.
#pragma once

#include "host_window.h"
#include "playlist_script.h"

// The script's texts are UTF-8: the window answers the wide queries with
// them and the ANSI queries with them in the ANSI code page. An entry whose
// texts are not UTF-8 (an older script saved in the ANSI code page) gives its
// bytes as the ANSI texts instead.
void SetScriptEntry(HostWindow& window, const ScriptEvent& entry);

// A tags event: the file's tags, from UTF-8 texts (one that is not UTF-8 is
// taken as empty).
void SetScriptTags(HostWindow& window, const ScriptEvent& tags);

// Applies an event of the window's (entry, tags, play, pause, resume, seek,
// stop). False when it changed nothing: a resume with nothing paused, a seek
// while stopped, or an event the window does not take (config, quit).
bool ApplyScriptEvent(HostWindow& window, const ScriptEvent& event);
