// Every answer is a pointer into the player's memory, valid only until its
// next change: it is copied out at once, cut at the host's own limit.
#include "monitor/host_ask.h"

#include "common/bounded_copy.h"
#include "monitor/host_text.h"

LRESULT Ask(HWND host, WPARAM argument, HostQuery query)
{
    return SendMessageA(host, kHostQueryMessage, argument, query);
}

void AskWideFileName(HWND host, int position, const char* ansiFile, wchar_t* wideFile)
{
    const LRESULT answer = Ask(host, position, kQueryWideFileName);
    if (answer != 0)
        CopyWideHostText(wideFile, reinterpret_cast<const wchar_t*>(answer));
    else
        CopyAnsiHostTextAsWide(wideFile, ansiFile);
}

bool AskEntryTitle(HWND host, int position, bool unicode, char* title)
{
    wchar_t wide[kWideTextSize];
    if (unicode) {
        const LRESULT answer = Ask(host, position, kQueryWideTitle);
        if (answer != 0) {
            CopyWideHostText(wide, reinterpret_cast<const wchar_t*>(answer));
            ConvertToUtf8(wide, title);
            return true;
        }
    }
    const LRESULT ansi = Ask(host, position, kQueryTitle);
    if (ansi == 0)
        return false;
    if (unicode) {
        CopyAnsiHostTextAsWide(wide, reinterpret_cast<const char*>(ansi));
        ConvertToUtf8(wide, title);
    } else {
        CopyBounded(title, reinterpret_cast<const char*>(ansi), title + kHostTextLimit);
    }
    return true;
}
