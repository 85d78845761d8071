// Names that come from outside the program's own code page (zip archives
// write theirs in UTF-8 or in code page 437), turned into the active code
// page: the ANSI code page on Windows, UTF-8 natively.
#pragma once
#include <cstddef>

// Decodes length bytes of text, UTF-8 (utf8) or code page 437, into the
// active code page, into out (size bytes, NUL added). False, and out empty,
// when the bytes are not valid in their encoding, hold a NUL, do not fit, or
// hold a character the active code page cannot hold: such a name is refused,
// never turned into another one.
bool ToActiveCodePage(const char *text, size_t length, bool utf8, char *out, size_t size);

// Encodes count Unicode code points into the active code page (the
// platform's part of the above). False when one has no character there or
// the text does not fit size bytes with its NUL.
bool EncodeActiveCodePage(const char32_t *points, size_t count, char *out, size_t size);
