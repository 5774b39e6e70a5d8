// Comparisons that ignore the letter case of ASCII letters only. The words
// compared this way ("https://", "utf-8") are fixed ASCII words, and the
// locale of the host process must not change what they match.
#pragma once

// True when `text` begins with `prefix`, letter case aside.
bool StartsWithIgnoringAsciiCase(const char* text, const char* prefix);

// True when the two texts are equal, letter case aside.
bool EqualsIgnoringAsciiCase(const char* a, const char* b);
