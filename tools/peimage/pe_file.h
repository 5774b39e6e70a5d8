// A PE file (DLL or executable) read from its bytes on disk rather than
// loaded, so that a program of either architecture can read a module of
// either: the shipped DLL is 32-bit also where the tests run as x86-64. PE32
// and PE32+ differ in the optional header and in the width of an import
// thunk; everything else is read the same way. Every address in the file is
// checked against its size: a damaged file reads as invalid or empty, never
// outside the buffer.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ImportedFunction {
    std::string dll;       // as the image names it
    std::string function;  // the name, or "#<ordinal>" for an import by ordinal
};

class PeFile {
public:
    // An unreadable or malformed file gives an object that is not Valid().
    explicit PeFile(const std::string& path);

    bool Valid() const { return optional_ != nullptr; }
    size_t Size() const { return bytes_.size(); }
    WORD Machine() const;
    WORD Characteristics() const;
    bool IsPe32Plus() const;

    // The number of exported functions and the exported names.
    DWORD ExportedFunctionCount() const;
    std::vector<std::string> ExportedNames() const;

    // Every function imported, from the import lookup tables.
    std::vector<ImportedFunction> ImportedFunctions() const;

private:
    const IMAGE_DATA_DIRECTORY* DataDirectory(int index) const;
    const IMAGE_EXPORT_DIRECTORY* Exports() const;
    // The bytes at a relative virtual address, or null when fewer than
    // `length` of them lie inside one section of the file.
    const BYTE* AtRva(DWORD rva, size_t length) const;
    // The zero-terminated text at a relative virtual address, or "".
    std::string TextAtRva(DWORD rva) const;

    std::vector<BYTE> bytes_;
    const IMAGE_FILE_HEADER* fileHeader_ = nullptr;
    const BYTE* optional_ = nullptr;  // the optional header, either kind
    const IMAGE_SECTION_HEADER* sections_ = nullptr;
};
