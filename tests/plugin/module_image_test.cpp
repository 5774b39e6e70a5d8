// The built DLL seen from outside, as the player and the installer see it: its
// size, one export, only system imports, the version resource and the
// manifest.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "pe_image.h"
#include "support/plugin_sandbox.h"

namespace {

// The DLL that ships is built small; a runtime piece that crept back in
// (winpthreads, libstdc++'s verbose terminate handler or its own error
// helpers) would show here first.
TEST(ModuleImageTest, IsAtMost170KB)
{
    PluginSandbox sandbox;
    WIN32_FILE_ATTRIBUTE_DATA file = {};
    ASSERT_TRUE(GetFileAttributesExA((sandbox.Directory() + "gen_tunewire.dll").c_str(),
                                     GetFileExInfoStandard, &file));
    EXPECT_EQ(0u, file.nFileSizeHigh);
    EXPECT_LE(file.nFileSizeLow, 170u * 1024);
}

TEST(ModuleImageTest, IsA32BitDllWithExactlyOneExport)
{
    PluginSandbox sandbox;
    HMODULE module = sandbox.Module();
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, Headers(module)->FileHeader.Machine);
    EXPECT_TRUE(Headers(module)->FileHeader.Characteristics & IMAGE_FILE_DLL);

    auto exports = Directory<IMAGE_EXPORT_DIRECTORY>(module, IMAGE_DIRECTORY_ENTRY_EXPORT);
    ASSERT_NE(nullptr, exports);
    ASSERT_EQ(1u, exports->NumberOfNames);
    EXPECT_EQ(1u, exports->NumberOfFunctions);
    auto names = reinterpret_cast<const DWORD*>(reinterpret_cast<const BYTE*>(module) +
                                                exports->AddressOfNames);
    EXPECT_STREQ("winampGetGeneralPurposePlugin",
                 reinterpret_cast<const char*>(module) + names[0]);
}

TEST(ModuleImageTest, ImportsOnlyWindowsSystemLibraries)
{
    const std::set<std::string> system = {"kernel32.dll", "user32.dll", "wininet.dll",
                                          "shell32.dll",  "msvcrt.dll", "advapi32.dll"};
    PluginSandbox sandbox;
    HMODULE module = sandbox.Module();
    auto import = Directory<IMAGE_IMPORT_DESCRIPTOR>(module, IMAGE_DIRECTORY_ENTRY_IMPORT);
    ASSERT_NE(nullptr, import);
    std::vector<std::string> found;
    for (; import->Name != 0; ++import) {
        std::string name = Lower(reinterpret_cast<const char*>(module) + import->Name);
        found.push_back(name);
        EXPECT_TRUE(system.count(name)) << name << " would have to ship beside the plugin";
    }
    EXPECT_NE(found.end(), std::find(found.begin(), found.end(), "wininet.dll"));
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
    std::string dll = BinaryDirectory() + "gen_tunewire.dll";
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

TEST(ModuleImageTest, CarriesAnEmptyManifestAsResourceTwo)
{
    PluginSandbox sandbox;
    HRSRC found = FindResourceA(sandbox.Module(), MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(24));
    ASSERT_NE(nullptr, found);
    auto data = static_cast<const char*>(LockResource(LoadResource(sandbox.Module(), found)));
    std::string manifest(data, SizeofResource(sandbox.Module(), found));
    size_t open = manifest.find("<assembly ");
    ASSERT_NE(std::string::npos, open);
    EXPECT_NE(std::string::npos, manifest.find("manifestVersion=\"1.0\"", open));
    size_t openEnd = manifest.find('>', open);
    size_t close = manifest.find("</assembly>", openEnd);
    ASSERT_NE(std::string::npos, close);
    EXPECT_EQ(std::string::npos, manifest.substr(openEnd + 1, close - openEnd - 1).find('<'))
        << "the manifest asks for nothing";
    EXPECT_EQ(nullptr, FindResourceA(sandbox.Module(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)));
}

}  // namespace
