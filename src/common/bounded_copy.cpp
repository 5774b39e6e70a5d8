// Both helpers return the address of the terminating zero they wrote, so that
// a caller can go on appending from there.
#include "common/bounded_copy.h"

char* CopyBounded(char* dst, const char* src, char* end)
{
    while (*src != '\0' && dst < end)
        *dst++ = *src++;
    *dst = '\0';
    return dst;
}

char* AppendBounded(char* buf, const char* str, char* end)
{
    while (*buf != '\0' && buf < end)
        ++buf;
    return CopyBounded(buf, str, end);
}
