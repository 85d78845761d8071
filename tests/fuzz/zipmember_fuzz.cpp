// The zip reader and its inflater on arbitrary bytes, written to a temporary
// file because archives are opened by path: the directory stays inside the
// file, and every entry unpacked is exactly what its record says.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <zlib.h>

#include "artwork/zipmember.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = InputAsFile("zipmember", "zip", data, size);
    ZipHandle *zip = path ? openzip(path) : nullptr;
    if (!zip)
        return 0;
    if (zip->totalEntries == 0 || zip->directorySize == 0 || zip->directoryOffset + uint64_t(zip->directorySize) > size)
        abort();
    // At most one record per 46 bytes of directory; a forged one may list
    // thousands, so only the first few are unpacked.
    uint32_t records = 0;
    while (ZipEntry *entry = readzip(zip)) {
        if (++records > zip->directorySize / 46 + 1 || strlen(entry->name) > entry->nameLength ||
            zip->cdPosition > zip->directorySize)
            abort();
        if (records > 16)
            continue;
        unsigned char *bytes = nullptr;
        uint32_t length = 0;
        bool read = ReadZipEntry(zip, entry, &bytes, &length) == ZipMemberResult::Read;
        if (read != (bytes != nullptr)
            || (read && (length != entry->uncompressedSize || length > kMaxZipMemberBytes
                         || crc32(0, bytes, length) != entry->crc32
                         || entry->localHeaderOffset + uint64_t{entry->compressedSize} > size)))
            abort();
        free(bytes);
    }
    if (readzip(zip))   // once ended, reading stays ended
        abort();
    closezip(zip);
    return 0;
}
