// The dialogs' only way out to the shell. The platform calls sit behind
// replaceable pointers because under Wine a real open starts a file browser,
// an editor or a web browser that outlives the test; a test swaps in a
// recorder and checks the exact arguments instead.
#include "ui/shell_open.h"

#include <shellapi.h>

#include <atomic>

namespace {

// Both dialogs, one per thread, may open things at the same time.
std::atomic<ShellExecuteFunction> g_shellExecute{&ShellExecuteA};
std::atomic<ShellExecuteWFunction> g_shellExecuteW{&ShellExecuteW};

}  // namespace

void OpenWithShell(const char* target)
{
    g_shellExecute.load()(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL);
}

INT_PTR OpenPathWithShell(const wchar_t* path)
{
    return reinterpret_cast<INT_PTR>(
        g_shellExecuteW.load()(nullptr, L"open", path, nullptr, nullptr, SW_SHOWNORMAL));
}

ShellExecuteFunction ReplaceShellExecuteForTesting(ShellExecuteFunction replacement)
{
    return g_shellExecute.exchange(replacement);
}

ShellExecuteWFunction ReplaceShellExecuteWForTesting(ShellExecuteWFunction replacement)
{
    return g_shellExecuteW.exchange(replacement);
}
