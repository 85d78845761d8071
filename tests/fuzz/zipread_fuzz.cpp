// The zip directory reader on arbitrary bytes, written to a file because the
// reader opens archives by path.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "artwork/zipread.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = InputAsFile("zip", "zip", data, size);
    ZipHandle *zip = path ? openzip(path) : nullptr;
    if (!zip)
        return 0;
    // An open handle has entries and a directory inside the file, of at most
    // one record per 46 bytes; once ended, reading stays ended.
    if (zip->totalEntries == 0 || zip->directorySize == 0 || zip->directoryOffset + uint64_t(zip->directorySize) > size)
        abort();
    for (uint32_t records = 0; ZipEntry *entry = readzip(zip);)
        if (++records > zip->directorySize / 46 + 1 || strlen(entry->name) > entry->nameLength ||
            zip->cdPosition > zip->directorySize)
            abort();
    if (readzip(zip))
        abort();
    closezip(zip);
    return 0;
}
