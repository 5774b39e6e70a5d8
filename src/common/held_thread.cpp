// GetModuleHandleEx without GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT
// counts a reference, as LoadLibrary does; Windows XP has it.
#include "common/held_thread.h"

HMODULE TakeModuleReference()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&TakeModuleReference), &module);
    return module;
}

DWORD LeaveWithModuleReference(HMODULE module)
{
    if (module != nullptr)
        FreeLibraryAndExitThread(module, 0);
    return 0;
}
