// Script events for the stand-in's window. Whether an entry's texts are valid
// UTF-8 decides which of the window's two ways of setting an entry is used.
#include "script_entry.h"

#include <windows.h>

#include <map>
#include <string>

namespace {

// False when `text` is not valid UTF-8.
bool FromUtf8(const std::string& text, std::wstring& wide)
{
    wide.clear();
    if (text.empty())
        return true;
    int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                   static_cast<int>(text.size()), nullptr, 0);
    if (size == 0)
        return false;
    wide.assign(size, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        wide.data(), size);
    return true;
}

}  // namespace

void SetScriptEntry(HostWindow& window, const ScriptEvent& entry)
{
    std::wstring file;
    std::wstring title;
    if (FromUtf8(entry.file, file) && FromUtf8(entry.title, title))
        window.SetEntry(entry.position, entry.fileIsNull ? nullptr : file.c_str(),
                        entry.titleIsNull ? nullptr : title.c_str());
    else
        window.SetEntry(entry.position, entry.fileIsNull ? nullptr : entry.file.c_str(),
                        entry.titleIsNull ? nullptr : entry.title.c_str());
}

void SetScriptTags(HostWindow& window, const ScriptEvent& tags)
{
    std::wstring file;
    FromUtf8(tags.file, file);
    std::map<std::string, std::wstring> values;
    for (const auto& tag : tags.tags)
        FromUtf8(tag.second, values[tag.first]);
    window.SetTags(file, values);
}

bool ApplyScriptEvent(HostWindow& window, const ScriptEvent& event)
{
    switch (event.kind) {
    case ScriptEvent::kEntry:
        SetScriptEntry(window, event);
        return true;
    case ScriptEvent::kTags:
        SetScriptTags(window, event);
        return true;
    case ScriptEvent::kPlay:
        window.Play(event.position, event.length, event.trackMs);
        return true;
    case ScriptEvent::kPause:
        window.Pause(event.position, event.length);
        return true;
    case ScriptEvent::kResume:
        return window.Resume();
    case ScriptEvent::kSeek:
        return window.Seek(event.trackMs);
    case ScriptEvent::kStop:
        window.Stop();
        return true;
    default:
        return false;
    }
}
