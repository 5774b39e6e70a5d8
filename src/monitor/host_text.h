// Texts from the host in Unicode mode: copied at once out of the player's
// memory into fixed buffers, cut at the host's 260-unit limit, and turned into
// the UTF-8 that such a post carries.
#pragma once

#include <windows.h>

// The host's own limit on a text, in characters (UTF-16 units for wide texts).
constexpr int kHostTextLimit = 260;
// A wide host text and its terminating zero.
constexpr int kWideTextSize = kHostTextLimit + 1;
// The UTF-8 of a wide host text: at most three bytes per UTF-16 unit (a
// surrogate pair, two units, takes four), and the terminating zero.
constexpr int kUtf8TextSize = 3 * kHostTextLimit + 1;

// Copies `source` into `destination` (kWideTextSize units), cut after 260
// units, or after 259 when the 260th and 261st units are the two halves of a
// surrogate pair.
void CopyWideHostText(wchar_t* destination, const wchar_t* source);

// Copies an ANSI host text (an older player's answer) into `destination`
// (kWideTextSize units): its first 260 bytes, converted from the ANSI code page.
void CopyAnsiHostTextAsWide(wchar_t* destination, const char* source);

// Converts a wide text of at most 260 units into UTF-8 in `destination`
// (kUtf8TextSize bytes). A surrogate without its other half becomes U+FFFD.
void ConvertToUtf8(const wchar_t* text, char* destination);
