// The PE reader behind the module image tests reads files of either kind: the
// test's own executable is a PE32 file in the 32-bit build and a PE32+ file
// in the x86-64 one, where thunks are twice as wide.
#include <gtest/gtest.h>

#include "pe_image.h"

namespace {

std::string OwnExecutable()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

TEST(PeFileTest, ReadsItsOwnKindOfExecutable)
{
    PeFile image(OwnExecutable());
    ASSERT_TRUE(image.Valid());
#ifdef _WIN64
    EXPECT_EQ(IMAGE_FILE_MACHINE_AMD64, image.Machine());
    EXPECT_TRUE(image.IsPe32Plus());
#else
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, image.Machine());
    EXPECT_FALSE(image.IsPe32Plus());
#endif
    EXPECT_FALSE(image.Characteristics() & IMAGE_FILE_DLL);
    bool found = false;
    for (const ImportedFunction& import : image.ImportedFunctions())
        found = found || (Lower(import.dll) == "kernel32.dll" && import.function == "GetModuleFileNameA");
    EXPECT_TRUE(found) << "the call above imports it by name";
}

TEST(PeFileTest, AFileThatIsNoImageIsInvalidAndEmpty)
{
    TempDir folder;
    const std::string path = folder.Path() + "not-an-image.dll";
    WriteWholeFile(path, std::string("MZ") + std::string(200, '\xFF'));
    PeFile image(path);
    EXPECT_FALSE(image.Valid());
    EXPECT_TRUE(image.ImportedFunctions().empty());
    EXPECT_TRUE(image.ExportedNames().empty());
    EXPECT_FALSE(PeFile(folder.Path() + "missing.dll").Valid());
}

}  // namespace
