// A small reader of a zip archive's central directory: which entries the
// archive holds, in stored order, with their names exactly as stored. It
// never reads local headers or file data and decompresses nothing (that is
// zipmember.h's work). Handles share nothing, so lookups on different
// threads may each use their own.
//
// Calling order: openzip, then readzip any number of times (each call gives
// the next record), then closezip once. There is no rewind.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// One decoded central directory record, held inside its handle.
struct ZipEntry {
    uint32_t signature;             // 4 bytes at 0 (copied, never checked)
    uint8_t versionMadeBy;          // byte 4
    uint8_t hostSystem;             // byte 5
    uint8_t versionNeeded;          // byte 6
    uint8_t versionNeededHigh;      // byte 7
    uint16_t flags;                 // 2 bytes at 8
    uint16_t compressionMethod;     // 2 bytes at 10
    uint16_t modificationTime;      // 2 bytes at 12, MS-DOS format
    uint16_t modificationDate;      // 2 bytes at 14, MS-DOS format
    uint32_t crc32;                 // 4 bytes at 16
    uint32_t compressedSize;        // 4 bytes at 20
    uint32_t uncompressedSize;      // 4 bytes at 24
    uint16_t nameLength;            // 2 bytes at 28
    uint16_t extraLength;           // 2 bytes at 30
    uint16_t commentLength;         // 2 bytes at 32
    uint16_t startDisk;             // 2 bytes at 34
    uint16_t internalAttributes;    // 2 bytes at 36
    uint32_t externalAttributes;    // 4 bytes at 38
    uint32_t localHeaderOffset;     // 4 bytes at 42
    char *name;                     // the name's bytes as stored, NUL added
};

// One open archive. Owns every buffer below and the open file.
struct ZipHandle {
    char *path;                     // copy of the path given to openzip
    FILE *file;                     // open from openzip until closezip
    int32_t fileLength;
    unsigned char *ecd;             // bytes from the end-record signature to the file's end
    uint32_t ecdLength;
    unsigned char *cd;              // the whole central directory, read in one piece
    uint32_t cdPosition;            // offset of the next record to decode
    ZipEntry entry;                 // the record last decoded by readzip
    // The end record's fields.
    uint32_t ecdSignature;
    uint16_t thisDisk;
    uint16_t directoryStartDisk;
    uint16_t entriesOnThisDisk;
    uint16_t totalEntries;          // the entry count callers use; never 0 once open
    uint32_t directorySize;
    uint32_t directoryOffset;
    uint16_t commentLength;
    const unsigned char *comment;   // 22 bytes into ecd
};

// A new handle owned by the caller, or nullptr on any failure.
ZipHandle *openzip(const char *path);

// The next record in directory order (the handle's own entry: its name stays
// valid until the next readzip or closezip), or nullptr at the end of the
// directory or on a bad record. After a bad record every later call fails too.
ZipEntry *readzip(ZipHandle *zip);

// The entry's name in the active code page, into name (size bytes): flag bit
// 11 says the stored name is UTF-8, otherwise it is code page 437. False (and
// name empty) when its bytes are not valid in that encoding, it does not fit,
// or the code page cannot hold one of its characters.
bool ZipEntryName(const ZipEntry *entry, char *name, size_t size);

// Releases the handle and everything it holds. zip comes from openzip;
// null is accepted and does nothing.
void closezip(ZipHandle *zip);

// Little-endian values assembled byte by byte: the host's byte order and
// alignment play no part.
uint16_t read_word(const unsigned char *bytes);
uint32_t read_dword(const unsigned char *bytes);

// 1 and the offset of the last end-record signature that leaves room for the
// record's 22 fixed bytes within length; 0 when there is none.
int ecd_find_sig(const unsigned char *buffer, uint32_t length, uint32_t *offset);

// Finds the end record with one read of at most the file's last 64 KiB + 22
// bytes (the longest comment and the record), and keeps a copy of it.
// 0 on success, -1 on failure.
int ecd_read(ZipHandle *zip);

// The diagnostic hook. It shows, logs and keeps nothing: a caller learns of
// a failure only from the null result.
void errormsg(const char *detail, const char *message, const char *path);

// Test seam: while set, errormsg passes every report on to hook.
using ZipReportHook = void (*)(const char *detail, const char *message, const char *path);
void SetZipReportHook(ZipReportHook hook);
