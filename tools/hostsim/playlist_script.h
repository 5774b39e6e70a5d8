// The playlist script hostsim plays: a UTF-8 file (a byte-order mark is
// skipped) with one event per line, timed from the plugin's init.
//
//   # comment
//   <ms> entry <position> <file> <title>   file and title quoted, or null; on
//                                          the playing entry, a stream's next title
//   <ms> tags <file> <name> <value>...     the file's tags ("artist", "title",
//                                          ...), name and value pairs, quoted
//   <ms> play <position> <length>          a length of 0 or below: a stream
//   <ms> play <position> <length> at <t>   starts <t> ms into the track
//   <ms> pause <position> <length>         the playing entry keeps its place
//   <ms> resume                            plays on from where it was paused
//   <ms> seek <t>                          moves to <t> ms into the track
//   <ms> stop
//   <ms> config                              runs the plugin's dialog (modal)
//   <ms> quit                                quits and unloads the plugin
#pragma once

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

struct ScriptEvent {
    enum Kind { kEntry, kTags, kPlay, kPause, kResume, kSeek, kStop, kConfig, kQuit };

    unsigned atMs = 0;
    Kind kind = kStop;
    int position = 0;
    int length = 0;
    int trackMs = 0;  // where play starts, or where seek moves to, in the track
    std::string file;
    std::string title;
    bool fileIsNull = false;
    bool titleIsNull = false;
    std::vector<std::pair<std::string, std::string>> tags;  // name and value
};

// Parses a whole script; events come back sorted by time, in file order
// within one time. On a malformed line, returns false with `error` naming it.
bool ParseScript(std::istream& in, std::vector<ScriptEvent>& events, std::string& error);
