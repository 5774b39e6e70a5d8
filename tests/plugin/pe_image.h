// Reading a loaded 32-bit image's headers and directories, for the tests that
// look at the built DLL from outside.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

inline const IMAGE_NT_HEADERS32* Headers(HMODULE module)
{
    auto base = reinterpret_cast<const BYTE*>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    return reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
}

template <typename T>
const T* Directory(HMODULE module, int index)
{
    DWORD rva = Headers(module)->OptionalHeader.DataDirectory[index].VirtualAddress;
    return rva == 0 ? nullptr : reinterpret_cast<const T*>(reinterpret_cast<const BYTE*>(module) + rva);
}

// A DLL's name in lower case: images name the same DLL in either case.
inline std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

struct ImportedFunction {
    std::string dll;       // as the image names it
    std::string function;  // the name, or "#<ordinal>" for an import by ordinal
};

// Every function the image imports, from the import lookup tables, which keep
// the names after the loader has bound the addresses.
std::vector<ImportedFunction> ImportedFunctions(HMODULE module);
