#include "base/names.h"

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
