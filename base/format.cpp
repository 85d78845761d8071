#include "base/format.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

bool FormatText(char *buf, size_t size, const char *format, ...)
{
    if (size == 0)
        return false;
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buf, size, format, args);
    va_end(args);
    if (n < 0 || static_cast<size_t>(n) >= size) {
        buf[0] = '\0';
        return false;
    }
    return true;
}

bool CopyText(char *dest, size_t size, const char *src)
{
    return CopyTextPart(dest, size, src, strlen(src));
}

bool CopyTextPart(char *dest, size_t size, const char *src, size_t count)
{
    if (size == 0)
        return false;
    const void *nul = memchr(src, '\0', count);
    if (nul)
        count = static_cast<const char *>(nul) - src;
    if (count >= size) {
        dest[0] = '\0';
        return false;
    }
    memmove(dest, src, count);
    dest[count] = '\0';
    return true;
}
