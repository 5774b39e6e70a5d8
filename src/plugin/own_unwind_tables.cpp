// Keeps the DLL's exception unwind tables with the DLL's own unwinder, even
// in a player whose other plugins brought GCC's shared runtime into the
// process. Only the 32-bit DLL needs this: 64-bit code unwinds through the
// system's own tables.
#include <windows.h>

#include "common/ascii_case.h"

namespace {

// The shared runtime of GCC's 32-bit DWARF unwinder, as the start-up code
// names it.
const char kSharedGccRuntime[] = "libgcc_s_dw2-1.dll";

// GetModuleHandleA, except that the shared GCC runtime is never found.
HMODULE WINAPI ModuleHandleOutsideSharedGccRuntime(LPCSTR name)
{
    if (name != nullptr && EqualsIgnoringAsciiCase(name, kSharedGccRuntime))
        return nullptr;
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, name, &module);
    return module;
}

}  // namespace

// GCC's start-up code (crtbegin.o) registers the DLL's unwind tables as the
// DLL loads. It asks GetModuleHandleA for libgcc_s_dw2-1.dll first and, when
// some other module of the process has loaded it, registers the tables with
// that DLL instead of with the unwinder linked into this one. Every throw
// here (each failed post throws) is unwound by the linked-in unwinder, which
// then finds no tables, no handler, and ends the player through terminate.
// crtbegin.o calls GetModuleHandleA through its import pointer; defining that
// pointer here, to a function that never finds the shared runtime, makes the
// start-up code always choose the linked-in unwinder (and its deregistration
// at unload the same one). The start-up code is the DLL's only caller of
// GetModuleHandleA, so the DLL no longer imports it; should another caller
// ever appear, it gets the platform's answer for every other name.
extern "C" {
extern decltype(&GetModuleHandleA) const importedGetModuleHandleA asm("__imp__GetModuleHandleA@4");
decltype(&GetModuleHandleA) const importedGetModuleHandleA = &ModuleHandleOutsideSharedGccRuntime;
}
