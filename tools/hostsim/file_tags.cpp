#include "file_tags.h"

#include <algorithm>

namespace {

std::wstring Widened(const char* text)
{
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(size > 0 ? size - 1 : 0, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), size);
    return wide;
}

std::string Narrowed(const std::wstring& text, UINT codePage)
{
    const int size = WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr,
                                         nullptr);
    std::string narrow(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), -1, narrow.data(), size, nullptr, nullptr);
    return narrow;
}

template <typename Char>
void CopyAsStrncpy(Char* ret, size_t retlen, const std::basic_string<Char>& value)
{
    const size_t count = std::min(retlen, value.size() + 1);
    std::copy(value.c_str(), value.c_str() + count, ret);
}

}  // namespace

void FileTags::Set(const std::wstring& file, const std::map<std::string, std::wstring>& tags)
{
    files_[file] = tags;
}

const std::wstring* FileTags::Find(const std::wstring& file, const std::string& name) const
{
    const auto tags = files_.find(file);
    if (tags == files_.end())
        return nullptr;
    const auto value = tags->second.find(name);
    return value == tags->second.end() ? nullptr : &value->second;
}

// The ANSI query names the file in the ANSI code page: it is compared with
// the known files narrowed to it, as the player's ANSI file-name answer is.
LRESULT FileTags::Answer(const ExtendedFileInfoQuery& query, std::string& asked) const
{
    asked = query.metadata != nullptr ? query.metadata : "";
    if (query.filename == nullptr || query.metadata == nullptr)
        return 1;
    const std::wstring* value = Find(Widened(query.filename), query.metadata);
    if (value == nullptr || query.ret == nullptr)
        return 1;
    CopyAsStrncpy(query.ret, query.retlen, Narrowed(*value, CP_ACP));
    asked += "=" + Narrowed(*value, CP_UTF8);
    return 1;
}

LRESULT FileTags::Answer(const WideExtendedFileInfoQuery& query, std::string& asked) const
{
    asked = query.metadata != nullptr ? Narrowed(query.metadata, CP_UTF8) : "";
    if (query.filename == nullptr || query.metadata == nullptr)
        return 1;
    const std::wstring* value = Find(query.filename, asked);
    if (value == nullptr || query.ret == nullptr)
        return 1;
    CopyAsStrncpy(query.ret, query.retlen, *value);
    asked += "=" + Narrowed(*value, CP_UTF8);
    return 1;
}
