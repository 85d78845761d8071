#include "artwork/zipmember.h"

#include <cstdlib>
#include <cstring>
#include <zlib.h>

#include "base/files.h"
#include "base/format.h"

namespace {

const uint32_t kLocalHeaderBytes = 30;
const unsigned char kLocalSignature[4] = {'P', 'K', 0x03, 0x04};
const uint16_t kStored = 0;
const uint16_t kDeflated = 8;
const uint16_t kEncrypted = 0x0001;         // flag bit 0
const uint16_t kStrongEncryption = 0x0040;  // flag bit 6
// Compressed input is fed to zlib through one buffer of this size, so the
// memory taken is the member's unpacked size plus this, whatever the archive says.
const uint32_t kInflateChunk = 64 * 1024;
const uint64_t kMaxDeflateRatio = 1032;

bool ReadExactly(FILE *file, unsigned char *into, uint32_t count)
{
    return count == 0 || fread(into, count, 1, file) == 1;
}

// Raw deflate (no zlib header, as zip stores it) of exactly compressedSize
// bytes at the file's position, into out of exactly size bytes. The stream
// must end within its bytes and fill out exactly.
ZipMemberResult Inflate(FILE *file, uint32_t compressedSize, unsigned char *out, uint32_t size)
{
    unsigned char *chunk = static_cast<unsigned char *>(malloc(kInflateChunk));
    if (!chunk)
        return ZipMemberResult::NoMemory;
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
        free(chunk);
        return ZipMemberResult::NoMemory;
    }
    stream.next_out = out;
    stream.avail_out = size;
    uint32_t left = compressedSize;
    ZipMemberResult result = ZipMemberResult::Corrupt;
    for (;;) {
        if (stream.avail_in == 0 && left > 0) {
            uint32_t count = left < kInflateChunk ? left : kInflateChunk;
            if (!ReadExactly(file, chunk, count))
                break;
            left -= count;
            stream.next_in = chunk;
            stream.avail_in = count;
        }
        // Z_BUF_ERROR means no progress is possible: the input ran out
        // before the stream's end, or the stream wants more room than the
        // stated size. Either way the member is not what its record says.
        int status = inflate(&stream, Z_NO_FLUSH);
        if (status == Z_STREAM_END) {
            if (stream.total_out == size)
                result = ZipMemberResult::Read;
            break;
        }
        if (status != Z_OK) {
            if (status == Z_MEM_ERROR)
                result = ZipMemberResult::NoMemory;
            break;
        }
    }
    inflateEnd(&stream);
    free(chunk);
    return result;
}

}  // namespace

ZipMemberResult ReadZipEntry(ZipHandle *zip, const ZipEntry *entry, unsigned char **data,
                             uint32_t *size)
{
    *data = nullptr;
    *size = 0;
    if (entry->flags & (kEncrypted | kStrongEncryption))
        return ZipMemberResult::Unsupported;
    // All ones in a size, an offset or the disk number send the reader to a
    // ZIP64 extra field, which this reader does not follow.
    if (entry->compressedSize == 0xFFFFFFFFu || entry->uncompressedSize == 0xFFFFFFFFu
        || entry->localHeaderOffset == 0xFFFFFFFFu || entry->startDisk == 0xFFFF)
        return ZipMemberResult::Unsupported;
    if (entry->compressionMethod != kStored && entry->compressionMethod != kDeflated)
        return ZipMemberResult::Unsupported;
    if (entry->uncompressedSize > kMaxZipMemberBytes)
        return ZipMemberResult::Unsupported;
    if (entry->compressionMethod == kStored && entry->compressedSize != entry->uncompressedSize)
        return ZipMemberResult::Corrupt;
    // Deflate makes at most 1032 bytes of one (a 258-byte match in two
    // one-bit codes): a record claiming more is false, and is refused before
    // the claimed size is allocated.
    if (entry->uncompressedSize > kMaxDeflateRatio * entry->compressedSize)
        return ZipMemberResult::Corrupt;

    // Local header: 4 signature, 2 version, 2 flags, 2 method, 2 time,
    // 2 date, 4 CRC, 4 + 4 sizes, 2 name length at 26, 2 extra length at 28.
    // Its own sizes may be zero (a data descriptor follows the data), so the
    // directory's are the ones used.
    const int64_t fileLength = zip->fileLength;
    if (static_cast<int64_t>(entry->localHeaderOffset) + kLocalHeaderBytes > fileLength)
        return ZipMemberResult::Corrupt;
    unsigned char header[kLocalHeaderBytes];
    if (fseek(zip->file, static_cast<long>(entry->localHeaderOffset), SEEK_SET) != 0
        || !ReadExactly(zip->file, header, kLocalHeaderBytes)
        || memcmp(header, kLocalSignature, sizeof kLocalSignature) != 0)
        return ZipMemberResult::Corrupt;
    const int64_t dataStart = static_cast<int64_t>(entry->localHeaderOffset) + kLocalHeaderBytes
                              + read_word(header + 26) + read_word(header + 28);
    if (dataStart + entry->compressedSize > fileLength
        || fseek(zip->file, static_cast<long>(dataStart), SEEK_SET) != 0)
        return ZipMemberResult::Corrupt;

    const uint32_t unpacked = entry->uncompressedSize;
    // One byte more than needed so an empty member still has a buffer: zlib
    // wants somewhere to write, and callers get a non-null result.
    unsigned char *out = static_cast<unsigned char *>(malloc(static_cast<size_t>(unpacked) + 1));
    if (!out)
        return ZipMemberResult::NoMemory;
    ZipMemberResult result = ZipMemberResult::Read;
    if (entry->compressionMethod == kStored)
        result = ReadExactly(zip->file, out, unpacked) ? ZipMemberResult::Read
                                                       : ZipMemberResult::Corrupt;
    else
        result = Inflate(zip->file, entry->compressedSize, out, unpacked);
    if (result == ZipMemberResult::Read && crc32(crc32(0L, Z_NULL, 0), out, unpacked) != entry->crc32)
        result = ZipMemberResult::Corrupt;
    if (result != ZipMemberResult::Read) {
        free(out);
        return result;
    }
    *data = out;
    *size = unpacked;
    return result;
}

// Scans the directory of zip for memberName, as stored or as the active code
// page writes the stored name; the matching entry, or null.
static ZipEntry *FindEntry(ZipHandle *zip, const char *memberName)
{
    // A stored name holding a NUL byte is not the name it starts with.
    const size_t length = strlen(memberName);
    char name[1024];
    while (ZipEntry *entry = readzip(zip))
        if ((entry->nameLength == length && memcmp(entry->name, memberName, length) == 0) ||
            (ZipEntryName(entry, name, sizeof name) && strcmp(name, memberName) == 0))
            return entry;
    return nullptr;
}

ZipMemberResult ReadZipMember(const char *archivePath, const char *memberName,
                              unsigned char **data, uint32_t *size)
{
    *data = nullptr;
    *size = 0;
    ZipHandle *zip = openzip(archivePath);
    if (!zip)
        return ZipMemberResult::NotFound;
    const ZipEntry *entry = FindEntry(zip, memberName);
    ZipMemberResult result =
        entry ? ReadZipEntry(zip, entry, data, size) : ZipMemberResult::NotFound;
    closezip(zip);
    return result;
}

bool ZipHoldsMember(const char *archivePath, const char *memberName)
{
    ZipHandle *zip = openzip(archivePath);
    if (!zip)
        return false;
    bool found = FindEntry(zip, memberName) != nullptr;
    closezip(zip);
    return found;
}

bool SplitZipMemberPath(const char *path, char *archive, size_t archiveBytes,
                        const char **member)
{
    for (const char *at = path; *at; at++) {
        if (*at != '\\' && *at != '/')
            continue;
        const size_t length = static_cast<size_t>(at - path);
        if (length < 4 || at[1] == '\0')
            continue;
        const char *tail = at - 4;
        if (tail[0] != '.' || (tail[1] | 0x20) != 'z' || (tail[2] | 0x20) != 'i'
            || (tail[3] | 0x20) != 'p')
            continue;
        // A folder named like an archive is only a folder on the way.
        if (CopyTextPart(archive, archiveBytes, path, length) && FileCanBeOpened(archive)) {
            *member = at + 1;
            return true;
        }
    }
    if (archiveBytes > 0)
        archive[0] = '\0';
    return false;
}
