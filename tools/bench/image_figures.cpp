// Figures of the DLL file itself: its size, and its import list read from the
// PE import directory. The loader maps the file as an image resource: its
// sections sit at their relative addresses, nothing in it runs and no import
// is resolved, so the directory is read with plain pointer arithmetic.
#include <cctype>

#include "figures.h"
#include "plugin_run.h"

namespace {

// A plugin that old machines download and load into the player: kept small.
constexpr DWORD kMostBytes = 170 * 1024;

struct ImportedDll {
    std::string name;
    unsigned functions = 0;
};

bool ReadImports(const std::string& path, std::vector<ImportedDll>& imports)
{
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr)
        return false;
    // A module loaded this way has flag bits in the low bits of its handle.
    auto* base = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module) & ~ULONG_PTR(3));
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    DWORD directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory);
    for (; directory != 0 && descriptor->Name != 0; ++descriptor) {
        ImportedDll dll{reinterpret_cast<const char*>(base + descriptor->Name)};
        auto* thunk = reinterpret_cast<const DWORD*>(
            base + (descriptor->OriginalFirstThunk ? descriptor->OriginalFirstThunk
                                                   : descriptor->FirstThunk));
        while (thunk[dll.functions] != 0)
            ++dll.functions;
        imports.push_back(dll);
    }
    FreeLibrary(module);
    return true;
}

// The player's folder holds no runtime libraries of ours: the plugin may need
// Windows' own DLLs only.
bool IsSystemDll(std::string name)
{
    for (char& c : name)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const char* system :
         {"kernel32.dll", "user32.dll", "shell32.dll", "wininet.dll", "msvcrt.dll"})
        if (name == system)
            return true;
    return false;
}

}  // namespace

void MeasureImage(Report& report)
{
    const std::string path = BesideBench("gen_tunewire.dll");
    WIN32_FILE_ATTRIBUTE_DATA file;
    std::vector<ImportedDll> imports;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &file) ||
        !ReadImports(path, imports))
        return report.Fail("gen_tunewire.dll", "cannot read it as a 32-bit image");
    report.AddGoal("gen_tunewire.dll size", Format("%lu bytes", file.nFileSizeLow), "<= 170 KB",
                   file.nFileSizeLow <= kMostBytes);
    std::string list;
    unsigned functions = 0;
    bool systemOnly = true;
    for (const ImportedDll& dll : imports) {
        list += Format(", %s (%u)", dll.name.c_str(), dll.functions);
        functions += dll.functions;
        systemOnly = systemOnly && IsSystemDll(dll.name);
    }
    report.AddGoal("gen_tunewire.dll imports (functions)", Format("%u", functions) + list,
                   "Windows system DLLs only", systemOnly);
}
