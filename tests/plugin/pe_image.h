// Where the tests that look at the shipped DLL from outside find it. They read
// the file, never run it, so they hold in an x86-64 build too.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>

#include "peimage/pe_file.h"
#include "peimage/shipped_dll.h"
#include "support/plugin_sandbox.h"

inline std::string ShippedDllPath()
{
    return BinaryDirectory() + kShippedDllName;
}

// A DLL's name in lower case: images name the same DLL in either case.
inline std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}
