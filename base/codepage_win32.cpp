#include <windows.h>

#include <vector>

#include "base/codepage.h"

bool EncodeActiveCodePage(const char32_t *points, size_t count, char *out, size_t size)
{
    std::vector<wchar_t> wide;
    wide.reserve(count * 2 + 1);
    for (size_t i = 0; i < count; ++i) {
        char32_t point = points[i];
        if (point < 0x10000) {
            wide.push_back(static_cast<wchar_t>(point));
        } else {
            point -= 0x10000;
            wide.push_back(static_cast<wchar_t>(0xD800 + (point >> 10)));
            wide.push_back(static_cast<wchar_t>(0xDC00 + (point & 0x3FF)));
        }
    }
    wide.push_back(L'\0');
    if (size == 0 || size > 0x7FFFFFFF)
        return false;
    // UTF-8 holds everything (and takes neither flag); any other code page
    // must hold each character itself, not a look-alike or a '?'.
    bool utf8 = GetACP() == CP_UTF8;
    BOOL substituted = FALSE;
    int written = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide.data(), -1, out,
                                      static_cast<int>(size), nullptr, utf8 ? nullptr : &substituted);
    return written > 0 && !substituted;
}
