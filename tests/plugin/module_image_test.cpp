// The shipped DLL seen from outside, as the player and the installer see it:
// its size, one export, only system imports, the version resource and the
// manifest.
#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "pe_image.h"

namespace {

// The DLL that ships is built small; a runtime piece that crept back in
// (winpthreads, libstdc++'s verbose terminate handler or its own error
// helpers, about 30 to 70 KB each) would show here first. The bound leaves
// room for the plugin's own code (the Enhanced Features dialog and the
// player's notifications brought it near 180 KB).
TEST(ModuleImageTest, IsAtMost192KB)
{
    PeFile image(ShippedDllPath());
    ASSERT_TRUE(image.Valid());
    EXPECT_LE(image.Size(), 192u * 1024);
}

TEST(ModuleImageTest, IsA32BitDllWithExactlyOneExport)
{
    PeFile image(ShippedDllPath());
    ASSERT_TRUE(image.Valid());
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, image.Machine());
    EXPECT_FALSE(image.IsPe32Plus());
    EXPECT_TRUE(image.Characteristics() & IMAGE_FILE_DLL);
    EXPECT_EQ(1u, image.ExportedFunctionCount());
    EXPECT_EQ(std::vector<std::string>{"winampGetGeneralPurposePlugin"}, image.ExportedNames());
}

TEST(ModuleImageTest, ImportsOnlyWindowsSystemLibraries)
{
    const std::set<std::string> system(std::begin(kWindowsSystemDlls),
                                       std::end(kWindowsSystemDlls));
    PeFile image(ShippedDllPath());
    std::set<std::string> found;
    for (const ImportedFunction& import : image.ImportedFunctions())
        found.insert(Lower(import.dll));
    for (const std::string& dll : found)
        EXPECT_TRUE(system.count(dll)) << dll << " would have to ship beside the plugin";
    EXPECT_TRUE(found.count("wininet.dll"));
}

std::string VersionString(const std::vector<char>& info, const char* name)
{
    char* value = nullptr;
    UINT length = 0;
    std::string path = std::string("\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
        return "<missing>";
    return value;
}

TEST(ModuleImageTest, VersionResourceNamesTheProduct)
{
    std::string dll = ShippedDllPath();
    DWORD size = GetFileVersionInfoSizeA(dll.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(dll.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(1, 0), fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);
    EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), fixed->dwFileOS);

    DWORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(MAKELONG(0x0409, 1200), *translation);

    const std::pair<const char*, const char*> strings[] = {
        {"FileVersion", "1, 0, 0, 1"},
        {"ProductVersion", "1, 0, 0, 1"},
        {"InternalName", "gen_tunewire"},
        {"OriginalFilename", "gen_tunewire.dll"},
        {"ProductName", "Tunewire"},
        {"FileDescription", "Posts track details to a HTTP POST handler."},
    };
    for (const auto& entry : strings)
        EXPECT_EQ(entry.second, VersionString(info, entry.first)) << entry.first;
    for (const char* name : {"CompanyName", "LegalCopyright", "Comments"})
        EXPECT_NE("<missing>", VersionString(info, name)) << name;
}

// Mapped as data, the DLL of the other architecture reads like any other.
struct DataFileImage {
    HMODULE module =
        LoadLibraryExA(ShippedDllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ~DataFileImage() { FreeLibrary(module); }
};

TEST(ModuleImageTest, CarriesAnEmptyManifestAsResourceTwo)
{
    DataFileImage image;
    ASSERT_NE(nullptr, image.module);
    HRSRC found = FindResourceA(image.module, MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(24));
    ASSERT_NE(nullptr, found);
    auto data = static_cast<const char*>(LockResource(LoadResource(image.module, found)));
    std::string manifest(data, SizeofResource(image.module, found));
    size_t open = manifest.find("<assembly ");
    ASSERT_NE(std::string::npos, open);
    EXPECT_NE(std::string::npos, manifest.find("manifestVersion=\"1.0\"", open));
    size_t openEnd = manifest.find('>', open);
    size_t close = manifest.find("</assembly>", openEnd);
    ASSERT_NE(std::string::npos, close);
    EXPECT_EQ(std::string::npos, manifest.substr(openEnd + 1, close - openEnd - 1).find('<'))
        << "the manifest asks for nothing";
    EXPECT_EQ(nullptr, FindResourceA(image.module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)));
}

}  // namespace
