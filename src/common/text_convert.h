// Conversions between the byte texts the plugin keeps (UTF-8, or the ANSI
// code page) and the wide texts of the platform's W functions. Vectors, not
// std::wstring: the library's wide strings would bring their own error
// helpers into the DLL (plugin/throw_helpers.cpp).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// `text` in `codePage` as a zero-terminated wide text; with
// MB_ERR_INVALID_CHARS in `flags`, empty when the bytes are not valid there.
std::vector<wchar_t> WideFrom(const std::string& text, UINT codePage, DWORD flags = 0);

// The first half of a UTF-16 surrogate pair.
inline bool IsHighSurrogate(wchar_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// Whether every byte of `text` is below 0x80, the same in every code page.
inline bool IsAscii(const std::string& text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) > 0x7F)
            return false;
    return true;
}

// A wide text as UTF-8 (or, with `codePage`, in another code page).
std::string BytesFrom(const wchar_t* text, UINT codePage = CP_UTF8);
