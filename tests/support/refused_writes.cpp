// The replacement has no other way to find its folder: one stand-in at a time.
#include "support/refused_writes.h"

namespace {

// Taken from kernel32 itself: the slot holds the replacement meanwhile.
const auto g_realCreateFile = reinterpret_cast<decltype(&CreateFileW)>(
    reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateFileW")));

std::wstring g_refusedFolder;

HANDLE WINAPI RefuseWritesInTheFolder(LPCWSTR file, DWORD access, DWORD share,
                                      LPSECURITY_ATTRIBUTES security, DWORD disposition,
                                      DWORD flags, HANDLE from)
{
    if ((access & GENERIC_WRITE) != 0 && std::wstring(file).rfind(g_refusedFolder, 0) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return g_realCreateFile(file, access, share, security, disposition, flags, from);
}

}  // namespace

RefusedWrites::RefusedWrites(const std::wstring& folder)
    : swap_((g_refusedFolder = folder, "kernel32.dll"), g_realCreateFile, &RefuseWritesInTheFolder)
{
}

RefusedWrites::~RefusedWrites()
{
    g_refusedFolder.clear();
}
