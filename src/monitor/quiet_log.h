// The Quiet key's log, tunewire.log beside the settings file in use: one
// UTF-8 line per outcome of a monitor's post, in place of the box it would
// have shown. At 256 KB it becomes tunewire.log.1 and a new log begins.
#pragma once

#include <string>

#include "post/post_report.h"

// The most characters of a box's text a line keeps.
constexpr size_t kLoggedTextLimit = 300;

// The part of a line after its time: the try, the title, where it went, the
// status or error code and the box's text (cut, on one line). All UTF-8.
std::string OutcomeLine(int attempt, const std::string& utf8Title, const PostOutcome& outcome);

// Appends the local time, `line` and a line break to `logFile` (a wide path,
// so a folder named outside the ANSI code page works), first moving a full
// log aside.
void AppendLogLine(const wchar_t* logFile, const std::string& line);
