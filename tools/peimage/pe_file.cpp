#include "peimage/pe_file.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

template <typename T>
const T* At(const std::vector<BYTE>& bytes, size_t offset)
{
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T))
        return nullptr;
    return reinterpret_cast<const T*>(bytes.data() + offset);
}

}  // namespace

PeFile::PeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    bytes_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    auto dos = At<IMAGE_DOS_HEADER>(bytes_, 0);
    if (dos == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew < 0)
        return;
    const size_t nt = static_cast<size_t>(dos->e_lfanew);
    auto signature = At<DWORD>(bytes_, nt);
    if (signature == nullptr || *signature != IMAGE_NT_SIGNATURE)
        return;
    auto fileHeader = At<IMAGE_FILE_HEADER>(bytes_, nt + sizeof(DWORD));
    if (fileHeader == nullptr)
        return;
    const size_t optional = nt + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER);
    auto magic = At<WORD>(bytes_, optional);
    const size_t optionalSize = magic == nullptr ? 0
                                : *magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC ? sizeof(IMAGE_OPTIONAL_HEADER32)
                                : *magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC ? sizeof(IMAGE_OPTIONAL_HEADER64)
                                                                           : 0;
    const size_t sections = optional + fileHeader->SizeOfOptionalHeader;
    if (optionalSize == 0 || fileHeader->SizeOfOptionalHeader < optionalSize ||
        sections > bytes_.size() ||
        (bytes_.size() - sections) / sizeof(IMAGE_SECTION_HEADER) < fileHeader->NumberOfSections)
        return;
    fileHeader_ = fileHeader;
    optional_ = bytes_.data() + optional;
    sections_ = reinterpret_cast<const IMAGE_SECTION_HEADER*>(bytes_.data() + sections);
}

WORD PeFile::Machine() const
{
    return Valid() ? fileHeader_->Machine : 0;
}

WORD PeFile::Characteristics() const
{
    return Valid() ? fileHeader_->Characteristics : 0;
}

bool PeFile::IsPe32Plus() const
{
    return Valid() && *reinterpret_cast<const WORD*>(optional_) == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
}

const IMAGE_DATA_DIRECTORY* PeFile::DataDirectory(int index) const
{
    if (!Valid())
        return nullptr;
    const IMAGE_DATA_DIRECTORY* directories =
        IsPe32Plus() ? reinterpret_cast<const IMAGE_OPTIONAL_HEADER64*>(optional_)->DataDirectory
                     : reinterpret_cast<const IMAGE_OPTIONAL_HEADER32*>(optional_)->DataDirectory;
    const DWORD count =
        IsPe32Plus() ? reinterpret_cast<const IMAGE_OPTIONAL_HEADER64*>(optional_)->NumberOfRvaAndSizes
                     : reinterpret_cast<const IMAGE_OPTIONAL_HEADER32*>(optional_)->NumberOfRvaAndSizes;
    if (index >= static_cast<int>(count) || directories[index].VirtualAddress == 0)
        return nullptr;
    return &directories[index];
}

const BYTE* PeFile::AtRva(DWORD rva, size_t length) const
{
    for (WORD i = 0; Valid() && i < fileHeader_->NumberOfSections; ++i) {
        const IMAGE_SECTION_HEADER& section = sections_[i];
        if (rva < section.VirtualAddress || rva - section.VirtualAddress >= section.SizeOfRawData)
            continue;
        const size_t offset = size_t(section.PointerToRawData) + (rva - section.VirtualAddress);
        const size_t inSection = section.SizeOfRawData - (rva - section.VirtualAddress);
        if (length > inSection || offset > bytes_.size() || bytes_.size() - offset < length)
            return nullptr;
        return bytes_.data() + offset;
    }
    return nullptr;
}

std::string PeFile::TextAtRva(DWORD rva) const
{
    std::string text;
    for (const BYTE* c = AtRva(rva, 1); c != nullptr && *c != 0; c = AtRva(++rva, 1))
        text += static_cast<char>(*c);
    return text;
}

const IMAGE_EXPORT_DIRECTORY* PeFile::Exports() const
{
    const IMAGE_DATA_DIRECTORY* directory = DataDirectory(IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (directory == nullptr)
        return nullptr;
    return reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
        AtRva(directory->VirtualAddress, sizeof(IMAGE_EXPORT_DIRECTORY)));
}

DWORD PeFile::ExportedFunctionCount() const
{
    const IMAGE_EXPORT_DIRECTORY* exports = Exports();
    return exports == nullptr ? 0 : exports->NumberOfFunctions;
}

std::vector<std::string> PeFile::ExportedNames() const
{
    std::vector<std::string> names;
    const IMAGE_EXPORT_DIRECTORY* exports = Exports();
    if (exports == nullptr)
        return names;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        auto name = reinterpret_cast<const DWORD*>(
            AtRva(exports->AddressOfNames + i * sizeof(DWORD), sizeof(DWORD)));
        if (name == nullptr)
            break;
        names.push_back(TextAtRva(*name));
    }
    return names;
}

std::vector<ImportedFunction> PeFile::ImportedFunctions() const
{
    std::vector<ImportedFunction> functions;
    const IMAGE_DATA_DIRECTORY* directory = DataDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (directory == nullptr)
        return functions;
    const size_t thunkSize = IsPe32Plus() ? sizeof(ULONGLONG) : sizeof(DWORD);
    const ULONGLONG ordinalFlag = IsPe32Plus() ? IMAGE_ORDINAL_FLAG64 : IMAGE_ORDINAL_FLAG32;
    for (DWORD at = directory->VirtualAddress;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        auto import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
            AtRva(at, sizeof(IMAGE_IMPORT_DESCRIPTOR)));
        if (import == nullptr || import->Name == 0)
            break;
        const std::string dll = TextAtRva(import->Name);
        // The lookup table keeps the names; a linker may leave it out and
        // name them in the address table only, which on disk holds the same.
        DWORD table = import->OriginalFirstThunk ? import->OriginalFirstThunk : import->FirstThunk;
        for (;; table += static_cast<DWORD>(thunkSize)) {
            const BYTE* slot = AtRva(table, thunkSize);
            if (slot == nullptr)
                break;
            ULONGLONG thunk = 0;
            memcpy(&thunk, slot, thunkSize);
            if (thunk == 0)
                break;
            if (thunk & ordinalFlag)
                functions.push_back({dll, "#" + std::to_string(thunk & 0xFFFF)});
            else  // an IMAGE_IMPORT_BY_NAME: a hint, then the name
                functions.push_back({dll, TextAtRva(static_cast<DWORD>(thunk) + sizeof(WORD))});
        }
    }
    return functions;
}
