// Bounded and case-insensitive string operations of the OS layer.
#include "zentro_osal.h"

#include <cstring>

namespace {

// ASCII folding, so that the result does not depend on the process's locale.
int foldCase(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

// Compares at most @n characters; a NULL string sorts before any other.
int compareFolded(const char *a, const char *b, size_t n)
{
    if (!a || !b)
        return (a != nullptr) - (b != nullptr);
    for (size_t i = 0; i < n; ++i) {
        int difference =
            foldCase(static_cast<unsigned char>(a[i])) - foldCase(static_cast<unsigned char>(b[i]));
        if (difference != 0 || a[i] == '\0')
            return difference;
    }
    return 0;
}

} // namespace

extern "C" {

ZE_API int osal_stricmp(const char *a, const char *b)
{
    return compareFolded(a, b, SIZE_MAX);
}

ZE_API int osal_strnicmp(const char *a, const char *b, size_t n)
{
    return compareFolded(a, b, n);
}

ZE_API int osal_strncat_s(char *dst, size_t size, const char *src, size_t n)
{
    if (!dst || size == 0)
        return 1;
    size_t used = strnlen(dst, size);
    size_t appended = src ? strnlen(src, n) : 0;
    // An unterminated destination or a missing source cannot be appended to safely.
    if (!src || used == size || appended >= size - used) {
        dst[0] = '\0';
        return 1;
    }
    memcpy(dst + used, src, appended);
    dst[used + appended] = '\0';
    return 0;
}

ZE_API int osal_strcpy_s(char *dst, size_t size, const char *src)
{
    if (!dst || size == 0)
        return 0;
    size_t length = src ? strnlen(src, size - 1) : 0;
    memmove(dst, src ? src : "", length);
    dst[length] = '\0';
    return 0;
}

} // extern "C"
