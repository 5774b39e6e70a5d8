// The player's main window as the plugin sees it: it answers the track
// queries, ANSI and wide, from a playlist state that its owner (a script or a
// test) changes over time, and can record every query it answers. Queries are
// answered on the thread that created the window, so that thread must pump
// messages. Like the player, it tells its own window of each change it makes
// (Play, Pause, Resume, Stop, a new title of the entry that plays), with the
// notifications of host/host_queries.h, sent on the caller's thread: the
// window's own, as the player's UI thread does. The position in the playing
// track runs on GetTickCount, so a reader can bound it with its own reads.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "file_tags.h"

struct HostQueryRecord {
    DWORD tick;        // GetTickCount when answered
    LPARAM code;       // 104, 105 (argument 0 the position, 1 the length), 125, 211,
                       // 212, 213, 214, 290 or 3026
    WPARAM argument;
    LRESULT answer;
    std::string text;  // what a file-name or title answer pointed to (wide ones in UTF-8);
                       // for a tag, "name=value", or the name alone when none was written
};

class HostWindow {
public:
    HostWindow();
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    HWND Handle() const { return window_; }

    // A file starts, `startMs` into the track: the playing-file
    // notifications, then a new title and a new status.
    void Play(int position, int length, int startMs = 0);
    // Paused on an entry: the player answers neither "playing" nor "stopped".
    // The entry that plays (or is paused) keeps its place in the track;
    // another one is paused at its start.
    void Pause(int position, int length);
    // Paused: plays on from where it was paused, with a new status. False,
    // and nothing changes, when nothing is paused.
    bool Resume();
    // Playing or paused: moves to `ms` into the track. Nothing is sent: the
    // track and its status stay. False, and nothing changes, when stopped.
    bool Seek(int ms);
    void Stop();
    // A null file or title makes the host answer that query with null. An
    // entry set from ANSI texts answers the wide queries with them widened
    // from the ANSI code page; one set from wide texts answers the ANSI
    // queries with them narrowed to it, "?" for what the code page lacks, as
    // the player does.
    void SetEntry(int position, const char* file, const char* title);
    void SetEntry(int position, const wchar_t* file, const wchar_t* title);
    // The tags the player answers for `file` from now on (see file_tags.h).
    void SetTags(const std::wstring& file, const std::map<std::string, std::wstring>& tags);
    // Plays an older player, whose wide queries answer null (3026: 0) and who
    // sends no wide playing-file notification.
    void SetAnsiOnly(bool ansiOnly);
    // Turns the notifications off (they are on from the start): a player
    // whose notices the plugin does not see.
    void SetNotifying(bool notifying);

    std::vector<HostQueryRecord> Queries() const;
    void ClearQueries();
    void SetQueryObserver(std::function<void(const HostQueryRecord&)> observer);

    // Dispatches this thread's messages for `ms` milliseconds.
    void Pump(DWORD ms);
    // Dispatches messages until `done` holds or `timeoutMs` passes.
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

private:
    // What the player answers when asked whether it plays.
    static constexpr LRESULT kStopped = 0;
    static constexpr LRESULT kPlaying = 1;
    static constexpr LRESULT kPaused = 3;

    struct Entry {
        const char* file;
        const char* title;
        const wchar_t* wideFile;
        const wchar_t* wideTitle;
    };

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Answer(WPARAM argument, LPARAM code);
    // Milliseconds into the playing track, -1 when stopped. Called under the
    // lock.
    LRESULT PlayedMs() const;
    struct Notice {
        WPARAM argument;
        LPARAM code;
    };
    // Sends the notices, unless notifying is off. Called without the lock:
    // a send from another thread waits for the window's, which may need the
    // lock to answer a query first.
    void Send(const std::vector<Notice>& notices);
    void NotifyRetitled(int position);
    const char* Keep(const char* text);
    const wchar_t* Keep(const wchar_t* text);

    HWND window_ = nullptr;
    mutable std::mutex mutex_;
    LRESULT playState_ = kStopped;  // the answer to the is-playing query
    bool ansiOnly_ = false;
    bool notifying_ = true;
    int position_ = 0;
    int length_ = 0;
    // The place in the track: playedMs_ while paused; while playing,
    // playedMs_ plus the time since playedSince_ (a GetTickCount).
    int playedMs_ = 0;
    DWORD playedSince_ = 0;
    std::map<int, Entry> entries_;
    FileTags tags_;
    // Texts handed out by address stay valid for the window's life: the plugin
    // copies them on its own thread after the answer has returned.
    std::deque<std::string> texts_;
    std::deque<std::wstring> wideTexts_;
    std::vector<HostQueryRecord> queries_;
    std::function<void(const HostQueryRecord&)> observer_;
};
