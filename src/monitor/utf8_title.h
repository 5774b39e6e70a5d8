// A title or a setting's text as UTF-8, for the files the plugin writes (the
// title file and the log): an ANSI text is converted from the ANSI code page,
// a text already in UTF-8 is kept as it is.
#pragma once

#include <string>

#include "post/post_track.h"

std::string AsUtf8(const char* text, TitleCharset charset);
std::string WideAsUtf8(const wchar_t* text);
