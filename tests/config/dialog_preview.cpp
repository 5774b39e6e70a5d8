// Opens the configuration dialog of the built gen_tunewire.dll the way the
// player does (export, init, config entry, quit) so that a screenshot can be
// taken of it. Usage: config_dialog_preview <rect-file> <hold-ms> [enhanced]
// Once the dialog is painted, its screen rectangle "x y width height" is
// written to <rect-file>; after <hold-ms> more the dialog is cancelled. With
// "enhanced", the Enhanced Features dialog is opened from it and shown
// instead, with sample values in every field.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "ui/config-rc.h"
#include "support/dialog_driver.h"
#include "support/hosted_plugin.h"

namespace {

constexpr DWORD kAppearTimeoutMs = 20000;
constexpr DWORD kPaintSettleMs = 500;  // the first paint follows the show
// Texts in three scripts, to see that the wide fields show them.
const char kEnhancedSample[] =
    "[WinAmp Tunewire Basic]\r\nCharset=utf-8\r\nQuiet=1\r\n"
    "TitleFile=C:\\Users\\Zo\xC3\xAB\\Documents\\Stream\\nowplaying.txt\r\n"
    "StoppedText=\xD0\x9F\xD0\xB0\xD1\x83\xD0\xB7\xD0\xB0 \xE2\x80\x93 "
    "\xE4\xB8\x80\xE6\x99\x82\xE5\x81\x9C\xE6\xAD\xA2\r\n"
    "PostFields=1\r\nTitleFormat=%artist% \xE2\x80\x93 %title%[ (%album%)]\r\n"
    "ArtworkFile=C:\\Users\\Zo\xC3\xAB\\Documents\\Stream\\cover.jpg\r\n";

}  // namespace

int main(int argc, char** argv)
{
    const bool enhanced = argc == 4 && std::strcmp(argv[3], "enhanced") == 0;
    if (argc != 3 && !enhanced) {
        std::fprintf(stderr, "usage: config_dialog_preview <rect-file> <hold-ms> [enhanced]\n");
        return 2;
    }
    const char* rectFile = argv[1];
    const DWORD holdMs = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10));

    HostedPlugin plugin;
    if (enhanced)
        plugin.Sandbox().WriteIni(kEnhancedSample);
    plugin.Init();

    DWORD hostThread = GetCurrentThreadId();
    bool shown = false;
    std::thread presenter([&] {
        HWND config = WaitForConfigDialog(hostThread, kAppearTimeoutMs);
        HWND dialog = config;
        if (config != nullptr && enhanced) {
            PressButton(config, IDC_ENHANCED_FEATURES);
            dialog = WaitForEnhancedDialog(hostThread, kAppearTimeoutMs);
        }
        if (dialog == nullptr)
            return;
        Sleep(kPaintSettleMs);
        RECT rect;
        GetWindowRect(dialog, &rect);
        if (FILE* out = std::fopen(rectFile, "w")) {
            std::fprintf(out, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                         rect.bottom - rect.top);
            std::fclose(out);
            shown = true;
        }
        Sleep(holdMs);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        if (dialog != config) {
            WaitUntilClosed(dialog, kAppearTimeoutMs);
            PostMessageA(config, WM_COMMAND, IDCANCEL, 0);
        }
    });
    plugin.Descriptor()->config();
    presenter.join();
    plugin.Quit();
    return shown ? 0 : 1;
}
