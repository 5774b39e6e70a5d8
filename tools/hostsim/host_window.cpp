#include "host_window.h"

#include <algorithm>

#include "host/host_queries.h"

namespace {

const char kClassName[] = "TunewireHostSim";

// The output-time query (105) asks for the position in milliseconds with
// this argument; with any other (1, what the plugin sends) the length.
constexpr WPARAM kTrackPositionArgument = 0;

std::wstring Widened(const char* text)
{
    int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(size > 0 ? size - 1 : 0, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), size);
    return wide;
}

// The window's own notifications pass through it as through the player's
// window; they are not queries, so they are neither answered nor recorded.
bool IsNotification(LPARAM code)
{
    return code == kNotifyChange || code == kNotifyPlayingFile || code == kNotifyPlayingWideFile;
}

std::string Narrowed(const wchar_t* text, UINT codePage)
{
    int size = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(codePage, 0, text, -1, narrow.data(), size, nullptr, nullptr);
    return narrow;
}

}  // namespace

HostWindow::HostWindow()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);  // fails harmlessly once the class exists
    window_ = CreateWindowExA(0, kClassName, "Tunewire host stand-in", WS_OVERLAPPEDWINDOW,
                              CW_USEDEFAULT, CW_USEDEFAULT, 320, 200, nullptr, nullptr,
                              GetModuleHandleA(nullptr), this);
}

HostWindow::~HostWindow()
{
    DestroyWindow(window_);
}

void HostWindow::Play(int position, int length, int startMs)
{
    std::vector<Notice> notices;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        playState_ = kPlaying;
        position_ = position;
        length_ = length;
        playedMs_ = startMs;
        playedSince_ = GetTickCount();
        const auto entry = entries_.find(position);
        const Entry playing = entry != entries_.end() ? entry->second : Entry{};
        notices.push_back({reinterpret_cast<WPARAM>(playing.file), kNotifyPlayingFile});
        if (!ansiOnly_)
            notices.push_back({reinterpret_cast<WPARAM>(playing.wideFile), kNotifyPlayingWideFile});
        notices.push_back({kChangeTitle, kNotifyChange});
        notices.push_back({kChangeStatus, kNotifyChange});
    }
    Send(notices);
}

void HostWindow::Pause(int position, int length)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const bool sameTrack = playState_ != kStopped && position == position_;
        playedMs_ = sameTrack ? static_cast<int>(PlayedMs()) : 0;
        playState_ = kPaused;
        position_ = position;
        length_ = length;
    }
    Send({{kChangeStatus, kNotifyChange}});
}

bool HostWindow::Resume()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (playState_ != kPaused)
            return false;
        playState_ = kPlaying;
        playedSince_ = GetTickCount();
    }
    Send({{kChangeStatus, kNotifyChange}});
    return true;
}

bool HostWindow::Seek(int ms)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (playState_ == kStopped)
        return false;
    playedMs_ = ms;
    playedSince_ = GetTickCount();
    return true;
}

LRESULT HostWindow::PlayedMs() const
{
    if (playState_ == kStopped)
        return -1;
    if (playState_ == kPaused)
        return playedMs_;
    return playedMs_ + static_cast<LRESULT>(GetTickCount() - playedSince_);
}

void HostWindow::Stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        playState_ = kStopped;
    }
    Send({{kChangeStatus, kNotifyChange}});
}

void HostWindow::SetEntry(int position, const char* file, const char* title)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Entry entry{Keep(file), Keep(title), nullptr, nullptr};
        if (file != nullptr)
            entry.wideFile = Keep(Widened(file).c_str());
        if (title != nullptr)
            entry.wideTitle = Keep(Widened(title).c_str());
        entries_[position] = entry;
    }
    NotifyRetitled(position);
}

void HostWindow::SetEntry(int position, const wchar_t* file, const wchar_t* title)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Entry entry{nullptr, nullptr, Keep(file), Keep(title)};
        if (file != nullptr)
            entry.file = Keep(Narrowed(file, CP_ACP).c_str());
        if (title != nullptr)
            entry.title = Keep(Narrowed(title, CP_ACP).c_str());
        entries_[position] = entry;
    }
    NotifyRetitled(position);
}

// A new title for the entry that plays (a stream's next song) is a change of
// title; other entries change silently.
void HostWindow::NotifyRetitled(int position)
{
    bool playingEntry = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        playingEntry = playState_ != kStopped && position == position_;
    }
    if (playingEntry)
        Send({{kChangeTitle, kNotifyChange}});
}

void HostWindow::SetTags(const std::wstring& file, const std::map<std::string, std::wstring>& tags)
{
    std::lock_guard<std::mutex> lock(mutex_);
    tags_.Set(file, tags);
}

void HostWindow::SetAnsiOnly(bool ansiOnly)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ansiOnly_ = ansiOnly;
}

void HostWindow::SetNotifying(bool notifying)
{
    std::lock_guard<std::mutex> lock(mutex_);
    notifying_ = notifying;
}

void HostWindow::Send(const std::vector<Notice>& notices)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!notifying_)
            return;
    }
    for (const Notice& notice : notices)
        SendMessageA(window_, kHostQueryMessage, notice.argument, notice.code);
}

const char* HostWindow::Keep(const char* text)
{
    if (text == nullptr)
        return nullptr;
    texts_.emplace_back(text);
    return texts_.back().c_str();
}

const wchar_t* HostWindow::Keep(const wchar_t* text)
{
    if (text == nullptr)
        return nullptr;
    wideTexts_.emplace_back(text);
    return wideTexts_.back().c_str();
}

std::vector<HostQueryRecord> HostWindow::Queries() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return queries_;
}

void HostWindow::ClearQueries()
{
    std::lock_guard<std::mutex> lock(mutex_);
    queries_.clear();
}

void HostWindow::SetQueryObserver(std::function<void(const HostQueryRecord&)> observer)
{
    std::lock_guard<std::mutex> lock(mutex_);
    observer_ = std::move(observer);
}

LRESULT HostWindow::Answer(WPARAM argument, LPARAM code)
{
    HostQueryRecord record{GetTickCount(), code, argument, 0, {}};
    std::function<void(const HostQueryRecord&)> observer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const char* text = nullptr;
        const wchar_t* wideText = nullptr;
        auto entry = entries_.find(static_cast<int>(argument));
        switch (code) {
        case kQueryIsPlaying:
            record.answer = playState_;
            break;
        case kQueryTrackLength:
            record.answer = argument == kTrackPositionArgument ? PlayedMs() : length_;
            break;
        case kQueryPlaylistPosition:
            record.answer = position_;
            break;
        case kQueryFileName:
            text = entry != entries_.end() ? entry->second.file : nullptr;
            break;
        case kQueryTitle:
            text = entry != entries_.end() ? entry->second.title : nullptr;
            break;
        case kQueryWideFileName:
            wideText = entry != entries_.end() && !ansiOnly_ ? entry->second.wideFile : nullptr;
            break;
        case kQueryWideTitle:
            wideText = entry != entries_.end() && !ansiOnly_ ? entry->second.wideTitle : nullptr;
            break;
        case kQueryExtendedFileInfo:
            record.answer = tags_.Answer(*reinterpret_cast<const ExtendedFileInfoQuery*>(argument),
                                         record.text);
            break;
        case kQueryWideExtendedFileInfo:
            if (!ansiOnly_)
                record.answer = tags_.Answer(
                    *reinterpret_cast<const WideExtendedFileInfoQuery*>(argument), record.text);
            break;
        default:
            break;
        }
        if (text != nullptr) {
            record.answer = reinterpret_cast<LRESULT>(text);
            record.text = text;
        }
        if (wideText != nullptr) {
            record.answer = reinterpret_cast<LRESULT>(wideText);
            record.text = Narrowed(wideText, CP_UTF8);
        }
        queries_.push_back(record);
        observer = observer_;
    }
    if (observer)
        observer(record);
    return record.answer;
}

LRESULT CALLBACK HostWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message == kHostQueryMessage && !IsNotification(lParam)) {
        auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        return self->Answer(wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void HostWindow::Pump(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

bool HostWindow::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    // `done` is asked before any message is dispatched, so a caller waiting
    // for a moment that has already come (a script event at time 0) acts
    // before the plugin's next query is answered.
    for (;;) {
        if (done())
            return true;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done())
            return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return false;
        // Sent messages (the plugin's queries) are dispatched inside the wait.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(timeoutMs - elapsed, 10),
                                  QS_ALLINPUT);
    }
}
