// Turns a playlist script's entry event into what the stand-in's window
// answers for that position.
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
