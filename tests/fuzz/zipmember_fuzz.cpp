// The zip member reader and its inflater on arbitrary bytes, written to a
// temporary file because archives are opened by path: every entry is
// unpacked, and what comes out must be exactly what its record says.
#include <cstdint>
#include <cstdlib>
#include <zlib.h>

#include "artwork/zipmember.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = InputAsFile("zipmember", "zip", data, size);
    ZipHandle *zip = path ? openzip(path) : nullptr;
    // A forged directory may list thousands of records; a few show the reader.
    ZipEntry *entry = nullptr;
    for (int n = 0; zip && n < 16 && (entry = readzip(zip)); n++) {
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
    closezip(zip);   // null is accepted
    return 0;
}
