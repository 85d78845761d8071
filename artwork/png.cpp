#include "artwork/png.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <png.h>

#include "artwork/zipmember.h"

#include "base/files.h"

static const int kSignatureBytes = 8;
static const png_alloc_size_t kMaxChunkBytes = 8 * 1024 * 1024;
// Paths are built in buffers of this size throughout the program.
static const size_t kZipPathBytes = 1024;

// libpng prints its warnings and errors by default; the saver reports
// nothing, a damaged picture simply isn't shown.
static void IgnoreWarning(png_structp, png_const_charp)
{
}

static void StopDecoding(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// The rows live in one block: the table of row pointers followed by the
// pixels, so a single free releases a picture on every path.
static unsigned char **AllocateRows(int height, size_t rowBytes)
{
    if (height <= 0)
        return nullptr;
    size_t tableBytes = sizeof(unsigned char *) * static_cast<size_t>(height);
    size_t pixelBytes = rowBytes * static_cast<size_t>(height);
    unsigned char *block = static_cast<unsigned char *>(malloc(tableBytes + pixelBytes));
    if (!block)
        return nullptr;
    unsigned char **rows = reinterpret_cast<unsigned char **>(block);
    unsigned char *pixels = block + tableBytes;
    for (int y = 0; y < height; y++)
        rows[y] = pixels + rowBytes * static_cast<size_t>(y);
    return rows;
}

void FreeRgbPicture(RgbPicture *picture)
{
    free(picture->rows);
    picture->rows = nullptr;
    picture->width = 0;
    picture->height = 0;
}

static unsigned char **MakeRgbRows(void *context, int width, int height)
{
    RgbPicture *picture = static_cast<RgbPicture *>(context);
    picture->rows = AllocateRows(height, static_cast<size_t>(width) * 3);
    if (picture->rows) {
        picture->width = width;
        picture->height = height;
    }
    return picture->rows;
}

bool DecodePNGFile(const char *path, RgbPicture *picture)
{
    picture->width = 0;
    picture->height = 0;
    picture->rows = nullptr;
    if (DecodePNGInto(path, {PngPixels::Rgb, MakeRgbRows, picture}))
        return true;
    FreeRgbPicture(picture);
    return false;
}

// Where the PNG's bytes come from: an open file, or a zip member unpacked
// into memory. Each decoding has its own, so decodings on several threads
// share nothing.
struct PngSource {
    FILE *file;                   // null for a member in memory
    const unsigned char *bytes;
    size_t size;
    size_t at;
};

static void ReadFromMemory(png_structp png, png_bytep out, size_t count)
{
    PngSource *source = static_cast<PngSource *>(png_get_io_ptr(png));
    if (count > source->size - source->at)
        png_error(png, "truncated");
    memcpy(out, source->bytes + source->at, count);
    source->at += count;
}

static bool ReadSignature(PngSource *source, png_byte *signature)
{
    if (source->file)
        return fread(signature, 1, kSignatureBytes, source->file) == kSignatureBytes;
    if (source->size < kSignatureBytes)
        return false;
    memcpy(signature, source->bytes, kSignatureBytes);
    source->at = kSignatureBytes;
    return true;
}

static bool DecodeSource(PngSource *source, const PngTarget &target)
{
    png_byte signature[kSignatureBytes];
    if (!ReadSignature(source, signature) || png_sig_cmp(signature, 0, kSignatureBytes) != 0)
        return false;

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr,
                                             StopDecoding, IgnoreWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }

    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }

    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    // Text, colour-profile and other side chunks are never used; skipping
    // them keeps a damaged length field from claiming gigabytes of memory.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    if (source->file)
        png_init_io(png, source->file);
    else
        png_set_read_fn(png, source, ReadFromMemory);
    png_set_sig_bytes(png, kSignatureBytes);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0, compression = 0, filter = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace,
                 &compression, &filter);
    if (static_cast<long long>(width) * height > kMaxPicturePixels)
        png_longjmp(png, 1);

    if (colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (bitDepth == 16)
        png_set_strip_16(png);
    // Expanding a palette also turns its tRNS chunk into an alpha channel,
    // which would make rows of 4 bytes a pixel; transparency is ignored, so
    // any alpha, stored or made from tRNS, is dropped.
    if ((colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_strip_alpha(png);
    if (bitDepth < 8)
        png_set_packing(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    if (target.pixels == PngPixels::Bgr)
        png_set_bgr(png);
    png_read_update_info(png, info);

    // Every row must be exactly 3 bytes a pixel, or the rows would be
    // overrun or read at the wrong bytes.
    if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 3)
        png_longjmp(png, 1);
    unsigned char **rows = target.MakeRows(target.context, static_cast<int>(width),
                                           static_cast<int>(height));
    if (!rows)
        png_longjmp(png, 1);
    png_read_image(png, rows);

    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

bool DecodePNGInto(const char *path, const PngTarget &target)
{
    char archive[kZipPathBytes];
    const char *member = nullptr;
    if (SplitZipMemberPath(path, archive, sizeof archive, &member)) {
        unsigned char *bytes = nullptr;
        uint32_t size = 0;
        if (ReadZipMember(archive, member, &bytes, &size) != ZipMemberResult::Read)
            return false;
        PngSource source = {nullptr, bytes, size, 0};
        bool decoded = DecodeSource(&source, target);
        free(bytes);
        return decoded;
    }
    FILE *file = OpenFile(path, "rb");
    if (!file)
        return false;
    PngSource source = {file, nullptr, 0, 0};
    bool decoded = DecodeSource(&source, target);
    fclose(file);
    return decoded;
}
