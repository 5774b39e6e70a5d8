// The shipped gen_tunewire.dll, relative to the folder of the build's
// programs. It is 32-bit on every machine: a 32-bit build's programs have it
// beside them, while an x86-64 build (for machines that cannot run 32-bit
// programs) loads an x86-64 test vehicle from there and keeps the shipped DLL
// in its x86 folder (TUNEWIRE_SHIPPED_DLL in the top CMakeLists.txt).
#pragma once

#ifdef _WIN64
constexpr char kShippedDllName[] = "x86\\gen_tunewire.dll";
#else
constexpr char kShippedDllName[] = "gen_tunewire.dll";
#endif

// The Windows system libraries the shipped DLL may import, in lower case: the
// player's folder holds no runtime libraries of ours.
constexpr const char* kWindowsSystemDlls[] = {
    "kernel32.dll", "user32.dll", "shell32.dll", "wininet.dll",
    "msvcrt.dll",   "advapi32.dll", "comdlg32.dll",
};
