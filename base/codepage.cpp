#include "base/codepage.h"

#include <vector>

namespace {

// Code page 437's upper half; its lower half is ASCII.
const char16_t kCodePage437[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// One code point of UTF-8 at text; 0 on a bad, overlong or surrogate
// sequence or one past U+10FFFF, else the bytes it took.
size_t DecodeOne(const unsigned char *text, size_t left, char32_t *point)
{
    static const char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    size_t bytes = text[0] < 0x80 ? 1 : text[0] >= 0xC2 && text[0] < 0xE0 ? 2
                                    : text[0] >= 0xE0 && text[0] < 0xF0   ? 3
                                    : text[0] >= 0xF0 && text[0] < 0xF5   ? 4
                                                                          : 0;
    if (bytes == 0 || bytes > left)
        return 0;
    char32_t value = bytes == 1 ? text[0] : text[0] & (0x7F >> bytes);
    for (size_t i = 1; i < bytes; ++i) {
        if ((text[i] & 0xC0) != 0x80)
            return 0;
        value = value << 6 | (text[i] & 0x3F);
    }
    if (value < kSmallest[bytes] || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000))
        return 0;
    *point = value;
    return bytes;
}

}  // namespace

bool ToActiveCodePage(const char *text, size_t length, bool utf8, char *out, size_t size)
{
    if (size > 0)
        out[0] = '\0';
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(text);
    std::vector<char32_t> points;
    points.reserve(length);
    for (size_t at = 0; at < length;) {
        char32_t point = bytes[at];
        size_t taken = 1;
        if (utf8)
            taken = DecodeOne(bytes + at, length - at, &point);
        else if (point >= 0x80)
            point = kCodePage437[point - 0x80];
        if (taken == 0 || point == 0)
            return false;
        points.push_back(point);
        at += taken;
    }
    if (EncodeActiveCodePage(points.data(), points.size(), out, size))
        return true;
    if (size > 0)
        out[0] = '\0';
    return false;
}
