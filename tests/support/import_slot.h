// Swapping this test executable's own import-table entries, so a test can
// watch or refuse a platform call made by the plugin's statically linked code
// without any seam in that code. Only calls made from this executable's code
// go through these slots; DLLs keep their own imports.
#pragma once

// The executable's import slot for a function of `dll` that currently holds
// `value`. Throws std::runtime_error when there is none.
void** FindImportSlot(const char* dll, void* value);

// Writes `value` into an import slot, lifting the page's protection for it.
void WriteImportSlot(void** slot, void* value);

// Points one import at `replacement` for the object's lifetime.
template <typename Function>
class ImportReplacement {
public:
    ImportReplacement(const char* dll, Function real, Function replacement)
        : slot_(FindImportSlot(dll, reinterpret_cast<void*>(real))), real_(real)
    {
        WriteImportSlot(slot_, reinterpret_cast<void*>(replacement));
    }
    ~ImportReplacement() { WriteImportSlot(slot_, reinterpret_cast<void*>(real_)); }
    ImportReplacement(const ImportReplacement&) = delete;
    ImportReplacement& operator=(const ImportReplacement&) = delete;

private:
    void** slot_;
    Function real_;
};
