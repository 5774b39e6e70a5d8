#include "playlist_script.h"

#include <algorithm>
#include <climits>
#include <istream>
#include <sstream>

namespace {

// Splits a line into words; a word in double quotes may hold spaces and is
// marked quoted, so that "null" (quoted) is a text and null (bare) is not.
struct Word {
    std::string text;
    bool quoted;
};

bool SplitWords(const std::string& line, std::vector<Word>& words)
{
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
        } else if (line[i] == '"') {
            size_t close = line.find('"', i + 1);
            if (close == std::string::npos)
                return false;
            words.push_back({line.substr(i + 1, close - i - 1), true});
            i = close + 1;
        } else {
            size_t end = line.find_first_of(" \t\r", i);
            if (end == std::string::npos)
                end = line.size();
            words.push_back({line.substr(i, end - i), false});
            i = end;
        }
    }
    return true;
}

bool ToNumber(const Word& word, long long& value)
{
    if (word.quoted || word.text.empty())
        return false;
    std::istringstream in(word.text);
    in >> value;
    return in && in.eof();
}

// A place in a track: milliseconds that fit the player's answer.
bool ToTrackMs(const Word& word, int& ms)
{
    long long value = 0;
    if (!ToNumber(word, value) || value < 0 || value > INT_MAX)
        return false;
    ms = static_cast<int>(value);
    return true;
}

void TakeText(const Word& word, std::string& text, bool& isNull)
{
    isNull = !word.quoted && word.text == "null";
    text = isNull ? std::string() : word.text;
}

bool ParseLine(const std::vector<Word>& words, ScriptEvent& event)
{
    long long at = 0;
    if (words.size() < 2 || !ToNumber(words[0], at) || at < 0)
        return false;
    event.atMs = static_cast<unsigned>(at);
    const std::string& command = words[1].text;
    long long position = 0;
    long long length = 0;
    if (command == "entry" && words.size() == 5 && ToNumber(words[2], position)) {
        event.kind = ScriptEvent::kEntry;
        event.position = static_cast<int>(position);
        TakeText(words[3], event.file, event.fileIsNull);
        TakeText(words[4], event.title, event.titleIsNull);
        return true;
    }
    if (command == "tags" && words.size() >= 5 && words.size() % 2 == 1) {
        event.kind = ScriptEvent::kTags;
        event.file = words[2].text;
        for (size_t i = 3; i < words.size(); i += 2)
            event.tags.emplace_back(words[i].text, words[i + 1].text);
        return true;
    }
    const bool startsLater = command == "play" && words.size() == 6 && !words[4].quoted &&
                             words[4].text == "at" && ToTrackMs(words[5], event.trackMs);
    if ((command == "play" || command == "pause") && (words.size() == 4 || startsLater) &&
        ToNumber(words[2], position) && ToNumber(words[3], length)) {
        event.kind = command == "play" ? ScriptEvent::kPlay : ScriptEvent::kPause;
        event.position = static_cast<int>(position);
        event.length = static_cast<int>(length);
        return true;
    }
    if (command == "seek" && words.size() == 3 && ToTrackMs(words[2], event.trackMs)) {
        event.kind = ScriptEvent::kSeek;
        return true;
    }
    if (words.size() != 2)
        return false;
    if (command == "resume")
        event.kind = ScriptEvent::kResume;
    else if (command == "stop")
        event.kind = ScriptEvent::kStop;
    else if (command == "config")
        event.kind = ScriptEvent::kConfig;
    else if (command == "quit")
        event.kind = ScriptEvent::kQuit;
    else
        return false;
    return true;
}

}  // namespace

bool ParseScript(std::istream& in, std::vector<ScriptEvent>& events, std::string& error)
{
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        // A UTF-8 file saved by Notepad starts with a byte-order mark.
        if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0)
            line.erase(0, 3);
        std::vector<Word> words;
        if (!SplitWords(line, words)) {
            error = "line " + std::to_string(number) + ": unclosed quote";
            return false;
        }
        if (words.empty() || (!words[0].quoted && words[0].text[0] == '#'))
            continue;
        ScriptEvent event;
        if (!ParseLine(words, event)) {
            error = "line " + std::to_string(number) + ": cannot read \"" + line + "\"";
            return false;
        }
        events.push_back(event);
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const ScriptEvent& a, const ScriptEvent& b) { return a.atMs < b.atMs; });
    return true;
}
