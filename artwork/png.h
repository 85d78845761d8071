// Decoding artwork PNG files into plain 8-bit RGB rows.
#pragma once

// A decoded picture: height rows of width x 3 bytes, red, green, blue per
// pixel, top row first. rows is a table of height row pointers.
struct RgbPicture {
    int width;
    int height;
    unsigned char **rows;
};

// Largest picture accepted, in pixels. Artwork is at most a few screens
// large; a header claiming more is taken for a damaged file rather than
// allowed to claim gigabytes of memory.
constexpr long long kMaxPicturePixels = 64LL * 1024 * 1024;
constexpr int kMaxPictureSide = 32768;

// Decodes the PNG file at path (a Windows-style path). The path may also
// name a member of a zip archive as ARCHIVE\MEMBER (C:\mame\snap.zip\pacman.png:
// see SplitZipMemberPath); the member, stored or deflated, is unpacked into
// memory and decoded from there under the same limits. Whatever the file
// holds (palette, 1- to 16-bit gray, RGB, with or without alpha or tRNS,
// interlaced or not), each decoded row is width x 3 bytes: samples are cut
// to 8 bits, alpha and transparency are dropped, no gamma is applied.
// Returns true and fills picture (release it with FreeRgbPicture); false
// when the file or member can't be opened or read whole (a CRC mismatch
// included), is shorter than 8 bytes, is not a PNG, is damaged or
// truncated, is too large, or memory runs out. On false nothing
// is left allocated and picture is emptied.
bool DecodePNGFile(const char *path, RgbPicture *picture);

// Where decoded rows go when the caller supplies the memory (the splash
// bitmap is filled this way, without a second copy of the picture).
enum class PngPixels {
    Rgb,    // 3 bytes a pixel: red, green, blue
    Bgr,    // 3 bytes a pixel: blue, green, red (a 24-bit Windows DIB)
};
struct PngTarget {
    PngPixels pixels;
    // Called once the size is known: returns a table of height row pointers,
    // each to width x 3 bytes, or null to give up. What it makes stays
    // the caller's, whatever the result of the decoding.
    unsigned char **(*MakeRows)(void *context, int width, int height);
    void *context;
};

// Decodes the PNG at path into the rows that target makes; the same checks,
// transforms and results as DecodePNGFile.
bool DecodePNGInto(const char *path, const PngTarget &target);

// Releases the rows of a picture that DecodePNGFile filled and empties it.
// An empty picture is accepted.
void FreeRgbPicture(RgbPicture *picture);
