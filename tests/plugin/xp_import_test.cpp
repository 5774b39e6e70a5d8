// The shipped DLL must load on Windows XP SP3: every function it imports has
// to be exported by XP's own system DLLs, whose export lists are copied beside
// the tests from tests/plugin/xp-exports (provenance in its README). A few
// functions are refused outright, whatever the Windows version: the plugin
// has no use for them, and thread-context and process-opening imports are
// what virus scanners flag in a small DLL loaded into another process.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "pe_image.h"

namespace {

// The XP exports of `dll` ("kernel32.dll"); empty when there is no list.
std::set<std::string> XpExports(const std::string& dll)
{
    const std::string stem = Lower(dll.substr(0, dll.rfind('.')));
    std::ifstream list(BinaryDirectory() + "xp-exports\\" + stem + ".txt");
    std::set<std::string> exports;
    for (std::string line; std::getline(list, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        exports.insert(line);
    }
    return exports;
}

TEST(XpImportTest, EveryImportIsExportedByTheXpSystemDll)
{
    const auto imports = PeFile(ShippedDllPath()).ImportedFunctions();
    ASSERT_FALSE(imports.empty());
    std::string offenders;
    for (const ImportedFunction& import : imports) {
        const std::set<std::string> exports = XpExports(import.dll);
        if (exports.empty())
            offenders += "\n  " + import.dll + " (no XP export list)";
        else if (!exports.count(import.function))
            offenders += "\n  " + import.dll + "!" + import.function;
    }
    EXPECT_EQ("", offenders) << "not on Windows XP SP3";
}

TEST(XpImportTest, ImportsNoThreadContextProcessOrAffinityFunction)
{
    const std::set<std::string> refused = {
        "SuspendThread", "GetThreadContext",        "SetThreadContext",
        "OpenProcess",   "SetProcessAffinityMask",  "AddVectoredExceptionHandler",
        "DuplicateHandle", "GetTickCount64"};
    std::string offenders;
    for (const ImportedFunction& import : PeFile(ShippedDllPath()).ImportedFunctions())
        if (refused.count(import.function))
            offenders += "\n  " + import.dll + "!" + import.function;
    EXPECT_EQ("", offenders) << "the plugin has no use for these";
}

}  // namespace
