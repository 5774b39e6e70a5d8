// Figures of the shipped DLL file itself: its size, and its import list read
// from the PE import directory of the file on disk, so that an x86-64 bench
// reads the 32-bit DLL as well.
#include <cctype>
#include <map>

#include "figures.h"
#include "peimage/pe_file.h"
#include "peimage/shipped_dll.h"
#include "plugin_run.h"

namespace {

// A plugin that old machines download and load into the player: kept small.
constexpr DWORD kMostBytes = 192 * 1024;

bool IsSystemDll(std::string name)
{
    for (char& c : name)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const char* system : kWindowsSystemDlls)
        if (name == system)
            return true;
    return false;
}

}  // namespace

void MeasureImage(Report& report)
{
    const PeFile image(BesideBench(kShippedDllName));
    if (!image.Valid())
        return report.Fail("gen_tunewire.dll", "cannot read it as a PE image");
    report.AddGoal("gen_tunewire.dll size", Format("%zu bytes", image.Size()), "<= 192 KB",
                   image.Size() <= kMostBytes);
    std::map<std::string, unsigned> functionsOf;  // by DLL name
    for (const ImportedFunction& import : image.ImportedFunctions())
        ++functionsOf[import.dll];
    std::string list;
    size_t functions = 0;
    bool systemOnly = true;
    for (const auto& [dll, count] : functionsOf) {
        list += Format(", %s (%u)", dll.c_str(), count);
        functions += count;
        systemOnly = systemOnly && IsSystemDll(dll);
    }
    report.AddGoal("gen_tunewire.dll imports (functions)", Format("%zu", functions) + list,
                   "Windows system DLLs only", systemOnly);
}
