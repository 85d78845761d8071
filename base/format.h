// Bounded text helpers: every text this program builds goes through them, so
// a text that does not fit is reported instead of being cut or overrun.
#pragma once
#include <cstddef>

// Formats into buf (size bytes, always NUL-terminated when size > 0).
// Returns true when the whole text fitted, false when it would not (buf then
// holds an empty text, so a half-built name can never be used by mistake).
bool FormatText(char *buf, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

// Copies src into dest (size bytes). Returns true when it fitted whole;
// false leaves dest empty.
bool CopyText(char *dest, size_t size, const char *src);

// Copies the first count bytes of src (stopping early at a NUL) into dest.
// Returns true when they fitted with their terminating NUL; false leaves dest
// empty.
bool CopyTextPart(char *dest, size_t size, const char *src, size_t count);
