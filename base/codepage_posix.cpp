#include "base/codepage.h"

// Natively the active code page is UTF-8, which holds every code point.
bool EncodeActiveCodePage(const char32_t *points, size_t count, char *out, size_t size)
{
    size_t used = 0;
    for (size_t i = 0; i < count; ++i) {
        char32_t point = points[i];
        size_t bytes = point < 0x80 ? 1 : point < 0x800 ? 2 : point < 0x10000 ? 3 : 4;
        if (used + bytes + 1 > size)
            return false;
        if (bytes == 1) {
            out[used++] = static_cast<char>(point);
            continue;
        }
        static const unsigned char kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};
        for (size_t k = bytes; k-- > 1;) {
            out[used + k] = static_cast<char>(0x80 | (point & 0x3F));
            point >>= 6;
        }
        out[used] = static_cast<char>(kLead[bytes] | point);
        used += bytes;
    }
    if (used + 1 > size)
        return false;
    out[used] = '\0';
    return true;
}
