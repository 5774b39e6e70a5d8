// What a post ended with, handed to a reporter at the one point where the
// post used to show its box. The box reporter shows the box and opens the
// dialog exactly as a post always has; the monitor's quiet mode hands in one
// that writes a log line instead.
#pragma once

#include <windows.h>

#include <string>

// The caption of the plugin's own boxes (a test's success, a failure that is
// not the server's answer, a title file that cannot be written).
extern const char kPluginCaption[];

struct PostOutcome {
    std::string server;
    std::string formPath;
    bool taken = false;          // the server answered 200
    bool invalidConfig = false;  // no usable server or form path: nothing was sent
    DWORD status = 0;            // the HTTP status; 0 when none came
    DWORD errorCode = 0;         // the platform's error code; 0 when none
    std::string text;            // the box's text
    std::string caption;         // the box's caption; empty when no box shows
    bool opensDialog = false;    // the box is followed by the configuration dialog
};

class PostReporter {
public:
    virtual void Report(const PostOutcome& outcome) = 0;

protected:
    ~PostReporter() = default;
};

// Shows the outcome's box, if any, then the dialog if the outcome opens it.
PostReporter& BoxReporter();
