// The members of std::string that the plugin's code calls, instantiated here.
// libstdc++ declares std::string an explicit instantiation that it defines in
// one prebuilt object with every member in it, about 32 KB, a sixth of the
// DLL; a static link takes that object whole as soon as one member is called.
// Defined here, the members the code uses keep the link from taking it: each
// is instantiated from the library's own headers, so it is the same code, and
// the linker drops any that nothing calls. The tests keep the library's.
// A member not listed here that new code calls brings the library's object
// back, and with it every member a second time: the link then fails on a
// symbol defined twice rather than quietly growing the DLL.
#include <cstring>
#include <string>

// The two overloads of _S_copy_chars that the code calls have member
// templates of the same name beside them, which no explicit instantiation can
// tell apart, so they are defined by their symbols' names (the platform's C
// prefix first: an underscore on 32-bit Windows, none on 64-bit).
#define TUNEWIRE_TEXT(text) #text
#define TUNEWIRE_EXPANDED_TEXT(text) TUNEWIRE_TEXT(text)
#define TUNEWIRE_SYMBOL(name) TUNEWIRE_EXPANDED_TEXT(__USER_LABEL_PREFIX__) name

extern "C" {

void CopyStringChars(char* to, const char* from, const char* end) __asm__(
    TUNEWIRE_SYMBOL("_ZNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEE13_S_copy_charsEPcPKcS7_"));
void CopyMutableStringChars(char* to, char* from, char* end) __asm__(
    TUNEWIRE_SYMBOL("_ZNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEE13_S_copy_charsEPcS5_S5_"));

void CopyStringChars(char* to, const char* from, const char* end)
{
    std::memcpy(to, from, static_cast<size_t>(end - from));
}

void CopyMutableStringChars(char* to, char* from, char* end)
{
    std::memcpy(to, from, static_cast<size_t>(end - from));
}

}  // extern "C"

namespace std {
_GLIBCXX_BEGIN_NAMESPACE_CXX11

using Size = string::size_type;

template string::basic_string(const string&);
template string::basic_string(string&&);
template string::basic_string(const string&, Size, Size);
template void string::_M_dispose();
template void string::_M_construct(Size, char);
template char* string::_M_create(Size&, Size);
template void string::_M_assign(const string&);
template string& string::_M_append(const char*, Size);
template string& string::_M_replace(Size, Size, const char*, Size);
template string& string::_M_replace_aux(Size, Size, Size, char);
template void string::_M_erase(Size, Size);
template void string::_M_mutate(Size, Size, const char*, Size);
template bool string::_M_disjunct(const char*) const;
template void string::_S_move(char*, const char*, Size);
template void string::_S_assign(char*, Size, char);
template void string::_S_copy(char*, const char*, Size);
template string& string::append(const char*);
template string& string::append(const char*, Size);
template string& string::append(const string&);
template string& string::insert(Size, const char*);
template string& string::insert(Size, const string&);
template string& string::replace(Size, Size, const char*, Size);
template void string::push_back(char);
template void string::pop_back();
template void string::reserve(Size);
template void string::resize(Size);
template void string::resize(Size, char);
template void string::swap(string&);
template string string::substr(Size, Size) const;
template int string::_S_compare(Size, Size);
template int string::compare(Size, Size, const char*) const;
template int string::compare(Size, Size, const char*, Size) const;
template Size string::find(const char*, Size) const;
template Size string::find(const char*, Size, Size) const;
template Size string::find(const string&, Size) const;
template Size string::find(char, Size) const;
template Size string::rfind(char, Size) const;
template Size string::find_first_of(const char*, Size) const;
template Size string::find_first_of(const char*, Size, Size) const;
template Size string::find_last_not_of(char, Size) const;

_GLIBCXX_END_NAMESPACE_CXX11
}  // namespace std
