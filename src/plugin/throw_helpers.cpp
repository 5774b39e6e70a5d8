// The helpers through which libstdc++'s own code reports a failure. The
// library's versions build std::logic_error and its kin, which carry a
// reference-counted string of their own, and bring with them a second string
// implementation and a formatting routine: about 55 KB, a third of the DLL.
// Here such a failure can only come from a std::string (a length beyond what
// memory holds, a null text, a position past the end), and every caller
// treats whatever is thrown alike: PostTrack ends the post with false and lets
// nothing out. So each helper throws std::bad_alloc. Defined here, they keep
// the static link from taking the library's; the tests keep the library's.
// Should a new use of the library need another helper, the link then fails on
// a symbol defined twice rather than quietly growing the DLL.
#include <bits/functexcept.h>

#include <new>

namespace std {

void __throw_bad_alloc()
{
    throw bad_alloc();
}

void __throw_length_error(const char*)
{
    throw bad_alloc();
}

void __throw_logic_error(const char*)
{
    throw bad_alloc();
}

void __throw_out_of_range_fmt(const char*, ...)
{
    throw bad_alloc();
}

// A vector asked for more elements than memory can address; the library's
// own error is a kind of bad_alloc anyway.
void __throw_bad_array_new_length()
{
    throw bad_alloc();
}

}  // namespace std
