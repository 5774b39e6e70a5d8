// Opens the configuration dialog of the built gen_tunewire.dll the way the
// player does (export, init, config entry, quit) so that a screenshot can be
// taken of it. Usage: config_dialog_preview <rect-file> <hold-ms>
// Once the dialog is painted, its screen rectangle "x y width height" is
// written to <rect-file>; after <hold-ms> more the dialog is cancelled.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "support/dialog_driver.h"
#include "support/hosted_plugin.h"

namespace {

constexpr DWORD kAppearTimeoutMs = 20000;
constexpr DWORD kPaintSettleMs = 500;  // the first paint follows the show

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: config_dialog_preview <rect-file> <hold-ms>\n");
        return 2;
    }
    const char* rectFile = argv[1];
    const DWORD holdMs = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10));

    HostedPlugin plugin;
    plugin.Init();

    DWORD hostThread = GetCurrentThreadId();
    bool shown = false;
    std::thread presenter([&] {
        HWND dialog = WaitForConfigDialog(hostThread, kAppearTimeoutMs);
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
    });
    plugin.Descriptor()->config();
    presenter.join();
    plugin.Quit();
    return shown ? 0 : 1;
}
