// The zip directory reader on arbitrary bytes, written to a temporary file
// because the reader opens archives by path.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "artwork/zipread.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = InputAsFile("zip", "zip", data, size);
    if (!path)
        return 0;

    ZipHandle *zip = openzip(path);
    if (!zip)
        return 0;
    if (zip->totalEntries == 0 || zip->directorySize == 0 ||
        zip->directoryOffset + static_cast<uint64_t>(zip->directorySize) > size)
        abort();   // an open handle always has entries and a readable directory
    // A directory of n bytes holds at most n / 46 records: more would mean
    // the cursor went backwards.
    uint32_t limit = zip->directorySize / 46 + 1;
    uint32_t records = 0;
    while (ZipEntry *entry = readzip(zip)) {
        if (++records > limit || strlen(entry->name) > entry->nameLength)
            abort();
        if (zip->cdPosition > zip->directorySize)
            abort();
    }
    // Once ended, it stays ended.
    if (readzip(zip))
        abort();
    closezip(zip);
    return 0;
}
