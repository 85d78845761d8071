#include "base/names.h"

#include <cstring>

bool IsPlainName(const char *name)
{
    if (!*name)
        return false;
    for (const char *p = name; *p; ++p) {
        char c = *p;
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_'))
            return false;
    }
    return true;
}

bool FitsBetweenQuotes(const char *text)
{
    return strchr(text, '"') == nullptr;
}

bool FolderForQuotes(char *out, size_t size, const char *folder)
{
    size_t length = strlen(folder);
    size_t trailing = 0;
    while (trailing < length && folder[length - 1 - trailing] == '\\')
        ++trailing;
    if (size == 0)
        return false;
    out[0] = '\0';
    if (!FitsBetweenQuotes(folder) || length + trailing >= size)
        return false;
    memcpy(out, folder, length);
    memset(out + length, '\\', trailing);
    out[length + trailing] = '\0';
    return true;
}
