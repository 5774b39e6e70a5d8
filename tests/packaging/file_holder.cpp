// file_holder.exe: stands in for a program that holds a file of the plugin
// open, as a running player holds its loaded DLL, during the installer test.
// It opens the file named first on its command line without sharing it,
// creates the file named second once it holds it, and ends when that file is
// removed (or after a minute, so a failed test never leaves it behind).
#include <windows.h>

#include "common/unique_handle.h"

namespace {

const DWORD kCheckMs = 100;          // how often the ready file is looked at
const int kLifetimeChecks = 600;     // a minute of checks at most

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    // No sharing at all: any other open for writing fails with a sharing
    // violation, as it does for a DLL that a process has loaded.
    HANDLE opened = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return 1;
    UniqueHandle held(opened);
    HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready == INVALID_HANDLE_VALUE)
        return 1;
    CloseHandle(ready);
    for (int check = 0; check < kLifetimeChecks && GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES; ++check)
        Sleep(kCheckMs);
    return 0;
}
