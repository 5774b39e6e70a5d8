// The monitor's questions to the host player, shared by the turn and by the
// stream titles: one query, and an entry's title in the mode's form.
#pragma once

#include <windows.h>

#include "host/host_queries.h"

LRESULT Ask(HWND host, WPARAM argument, HostQuery query);

// The title of the entry at `position` into `title` (kUtf8TextSize bytes):
// in Unicode mode the wide title as UTF-8, an older player's null wide answer
// followed by the ANSI query; otherwise the ANSI title cut at 260 bytes.
// False when the player has none.
bool AskEntryTitle(HWND host, int position, bool unicode, char* title);

// The file name of the entry at `position` as a wide text into `wideFile`
// (kWideTextSize units): the wide answer, or where an older player has none,
// `ansiFile` (the ANSI answer already asked) widened.
void AskWideFileName(HWND host, int position, const char* ansiFile, wchar_t* wideFile);
