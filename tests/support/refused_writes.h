// Windows' answer to a write into a folder under Program Files for a user
// without elevation: no file in the folder opens for writing or is made, and
// every file stays readable. Stood in through this executable's import slot
// of CreateFileW, through which the plugin's statically linked code makes
// and replaces every file it writes.
#pragma once

#include <windows.h>

#include <string>

#include "support/import_slot.h"

class RefusedWrites {
public:
    // `folder` with its trailing backslash. One at a time.
    explicit RefusedWrites(const std::wstring& folder);
    ~RefusedWrites();
    RefusedWrites(const RefusedWrites&) = delete;
    RefusedWrites& operator=(const RefusedWrites&) = delete;

private:
    ImportReplacement<decltype(&CreateFileW)> swap_;
};
