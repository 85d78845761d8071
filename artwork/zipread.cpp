#include "artwork/zipread.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/codepage.h"
#include "base/files.h"

static const unsigned char ecdsig[4] = {'P', 'K', 0x05, 0x06};

static const uint32_t kEcdFixedBytes = 22;
static const uint32_t kRecordFixedBytes = 46;
static const int64_t kEcdWindow = 65535 + kEcdFixedBytes;

static const char kFilesystemCorrupt[] = "Your filesystem seems to be corrupt, please check it";
static const char kZipCorrupt[] = "The zipfile seems to be corrupt, please check it";
static const char kZipUnsupported[] =
    "The format of this zipfile is not supported, please recompress it";

// Set only by tests; atomic because archives are read on a worker thread.
static std::atomic<ZipReportHook> reportHook{nullptr};

void SetZipReportHook(ZipReportHook hook)
{
    reportHook = hook;
}

void errormsg(const char *detail, const char *message, const char *path)
{
    if (ZipReportHook hook = reportHook.load())
        hook(detail, message, path);
}

uint16_t read_word(const unsigned char *bytes)
{
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t read_dword(const unsigned char *bytes)
{
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

int ecd_find_sig(const unsigned char *buffer, uint32_t length, uint32_t *offset)
{
    if (length < kEcdFixedBytes)
        return 0;
    // Backward, so a signature inside a comment loses to the real record,
    // which always lies nearer the end.
    for (uint32_t i = length - kEcdFixedBytes + 1; i-- > 0;) {
        if (memcmp(buffer + i, ecdsig, sizeof ecdsig) == 0) {
            *offset = i;
            return 1;
        }
    }
    return 0;
}

int ecd_read(ZipHandle *zip)
{
    // The record is 22 bytes and its comment at most 65535, so it lies within
    // the file's last kEcdWindow bytes: one read of them finds it or proves
    // the file is no zip, however large the file.
    int64_t window = kEcdWindow;
    if (zip->fileLength < window)
        window = zip->fileLength;
    if (fseek(zip->file, static_cast<long>(zip->fileLength - window), SEEK_SET) != 0)
        return -1;
    unsigned char *buffer = static_cast<unsigned char *>(malloc(static_cast<size_t>(window)));
    if (!buffer)
        return -1;
    uint32_t offset = 0;
    if (fread(buffer, static_cast<size_t>(window), 1, zip->file) != 1
        || !ecd_find_sig(buffer, static_cast<uint32_t>(window), &offset)) {
        free(buffer);
        return -1;
    }
    zip->ecdLength = static_cast<uint32_t>(window) - offset;
    zip->ecd = static_cast<unsigned char *>(malloc(zip->ecdLength));
    if (!zip->ecd) {
        free(buffer);
        return -1;
    }
    memcpy(zip->ecd, buffer + offset, zip->ecdLength);
    free(buffer);
    return 0;
}

static ZipHandle *Fail(ZipHandle *zip, const char *path, const char *detail, const char *message)
{
    if (detail)
        errormsg(detail, message, path);
    closezip(zip);
    return nullptr;
}

ZipHandle *openzip(const char *path)
{
    ZipHandle *zip = new (std::nothrow) ZipHandle();
    if (!zip)
        return nullptr;

    zip->file = OpenFile(path, "rb");
    if (!zip->file)
        return Fail(zip, path, "Opening for reading", kFilesystemCorrupt);
    if (fseek(zip->file, 0, SEEK_END) != 0)
        return Fail(zip, path, "Seeking to end", kFilesystemCorrupt);
    long length = ftell(zip->file);
    // The length is held in 32 signed bits, as the Windows runtime reports it.
    if (length < 0 || length > INT32_MAX)
        return Fail(zip, path, "Get file size", kFilesystemCorrupt);
    if (length == 0)
        return Fail(zip, path, "Empty file", kZipCorrupt);
    zip->fileLength = static_cast<int32_t>(length);

    if (ecd_read(zip) != 0)
        return Fail(zip, path, "Reading ECD (end of central directory)", kZipCorrupt);

    const unsigned char *ecd = zip->ecd;
    zip->ecdSignature = read_dword(ecd + 0);
    zip->thisDisk = read_word(ecd + 4);
    zip->directoryStartDisk = read_word(ecd + 6);
    zip->entriesOnThisDisk = read_word(ecd + 8);
    zip->totalEntries = read_word(ecd + 10);
    zip->directorySize = read_dword(ecd + 12);
    zip->directoryOffset = read_dword(ecd + 16);
    zip->commentLength = read_word(ecd + 20);
    zip->comment = ecd + kEcdFixedBytes;

    if (zip->thisDisk != zip->directoryStartDisk ||
        zip->entriesOnThisDisk != zip->totalEntries || zip->totalEntries == 0)
        return Fail(zip, path, "Cannot span disks", kZipUnsupported);

    // An offset beyond 31 bits cannot be a position in this file; refusing it
    // here gives the same answer whatever the width of the runtime's long.
    if (zip->directoryOffset > INT32_MAX ||
        fseek(zip->file, static_cast<long>(zip->directoryOffset), SEEK_SET) != 0)
        return Fail(zip, path, "Seeking to central directory", kZipCorrupt);

    // A directory that would reach past the file's end cannot be read whole;
    // saying so before allocating keeps a forged size from claiming gigabytes.
    if (zip->directorySize == 0 ||
        static_cast<int64_t>(zip->directoryOffset) + zip->directorySize > zip->fileLength)
        return Fail(zip, path, "Reading central directory", kZipCorrupt);
    zip->cd = static_cast<unsigned char *>(malloc(zip->directorySize));
    if (!zip->cd)
        return Fail(zip, path, nullptr, nullptr);
    if (fread(zip->cd, zip->directorySize, 1, zip->file) != 1)
        return Fail(zip, path, "Reading central directory", kZipCorrupt);

    zip->entry.name = nullptr;
    zip->cdPosition = 0;

    size_t pathBytes = strlen(path) + 1;
    zip->path = static_cast<char *>(malloc(pathBytes));
    if (!zip->path)
        return Fail(zip, path, nullptr, nullptr);
    memcpy(zip->path, path, pathBytes);
    return zip;
}

ZipEntry *readzip(ZipHandle *zip)
{
    if (zip->cdPosition >= zip->directorySize)
        return nullptr;

    // A tail too short for a record's fixed part is as corrupt as a name
    // running past the end; the cursor stays, so later calls fail alike.
    if (zip->directorySize - zip->cdPosition < kRecordFixedBytes) {
        errormsg("Invalid filename length in directory", kZipCorrupt, zip->path);
        return nullptr;
    }

    const unsigned char *record = zip->cd + zip->cdPosition;
    ZipEntry &entry = zip->entry;
    entry.signature = read_dword(record + 0);
    entry.versionMadeBy = record[4];
    entry.hostSystem = record[5];
    entry.versionNeeded = record[6];
    entry.versionNeededHigh = record[7];
    entry.flags = read_word(record + 8);
    entry.compressionMethod = read_word(record + 10);
    entry.modificationTime = read_word(record + 12);
    entry.modificationDate = read_word(record + 14);
    entry.crc32 = read_dword(record + 16);
    entry.compressedSize = read_dword(record + 20);
    entry.uncompressedSize = read_dword(record + 24);
    entry.nameLength = read_word(record + 28);
    entry.extraLength = read_word(record + 30);
    entry.commentLength = read_word(record + 32);
    entry.startDisk = read_word(record + 34);
    entry.internalAttributes = read_word(record + 36);
    entry.externalAttributes = read_dword(record + 38);
    entry.localHeaderOffset = read_dword(record + 42);

    uint64_t nameEnd = static_cast<uint64_t>(zip->cdPosition) + kRecordFixedBytes + entry.nameLength;
    if (nameEnd > zip->directorySize) {
        errormsg("Invalid filename length in directory", kZipCorrupt, zip->path);
        return nullptr;
    }

    free(entry.name);
    entry.name = static_cast<char *>(malloc(entry.nameLength + 1u));
    if (!entry.name)
        return nullptr;
    memcpy(entry.name, record + kRecordFixedBytes, entry.nameLength);
    entry.name[entry.nameLength] = '\0';

    // The extra field and comment are skipped unchecked: when they run past
    // the end, the next call simply finds the directory exhausted.
    uint64_t next = nameEnd + entry.extraLength + entry.commentLength;
    zip->cdPosition = next > zip->directorySize ? zip->directorySize : static_cast<uint32_t>(next);
    return &entry;
}

bool ZipEntryName(const ZipEntry *entry, char *name, size_t size)
{
    const uint16_t kUtf8Name = 0x0800;   // flag bit 11
    return ToActiveCodePage(entry->name, entry->nameLength, (entry->flags & kUtf8Name) != 0, name,
                            size);
}

void closezip(ZipHandle *zip)
{
    if (!zip)
        return;
    free(zip->entry.name);
    free(zip->cd);
    free(zip->ecd);
    if (zip->file)
        fclose(zip->file);
    free(zip->path);
    delete zip;
}
