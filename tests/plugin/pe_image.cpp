#include "pe_image.h"

std::vector<ImportedFunction> ImportedFunctions(HMODULE module)
{
    auto base = reinterpret_cast<const BYTE*>(module);
    std::vector<ImportedFunction> functions;
    auto import = Directory<IMAGE_IMPORT_DESCRIPTOR>(module, IMAGE_DIRECTORY_ENTRY_IMPORT);
    for (; import != nullptr && import->Name != 0; ++import) {
        const std::string dll = reinterpret_cast<const char*>(base + import->Name);
        auto thunk = reinterpret_cast<const IMAGE_THUNK_DATA32*>(base + import->OriginalFirstThunk);
        for (; thunk->u1.AddressOfData != 0; ++thunk) {
            if (IMAGE_SNAP_BY_ORDINAL32(thunk->u1.Ordinal)) {
                functions.push_back({dll, "#" + std::to_string(IMAGE_ORDINAL32(thunk->u1.Ordinal))});
                continue;
            }
            auto byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + thunk->u1.AddressOfData);
            functions.push_back({dll, reinterpret_cast<const char*>(byName->Name)});
        }
    }
    return functions;
}
