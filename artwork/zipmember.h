// Reading one member's bytes out of a zip archive: the local header, the
// stored or deflated data, the size and CRC-32 checks. Built on the directory
// reader (openzip/readzip), which says where the member lies.
//
// Artwork packs ship whole categories as zip archives (snap.zip, titles.zip,
// ...); this is how a picture inside one reaches the PNG decoder.
#pragma once
#include <cstddef>
#include <cstdint>

#include "artwork/zipread.h"

// Largest member that is unpacked. A picture is a few megabytes at most; a
// record claiming more is refused before anything is allocated, which also
// bounds the memory a forged archive can make us take.
constexpr uint32_t kMaxZipMemberBytes = 64u * 1024 * 1024;

enum class ZipMemberResult {
    Read,          // *data holds exactly the member's bytes, CRC-32 checked
    NotFound,      // the archive can't be opened or has no member of that name
    Unsupported,   // encrypted, ZIP64, a method other than stored or deflate,
                   // or larger than kMaxZipMemberBytes unpacked
    Corrupt,       // bad local header, data outside the file, a deflate
                   // stream that fails or ends at the wrong size, CRC mismatch
    NoMemory,
};

// Reads the member named memberName (compared byte for byte with the stored
// name) of the archive at archivePath. On Read, *data is a malloc'ed buffer of
// *size bytes that the caller frees (never null, even for an empty member);
// otherwise *data is null and *size 0.
ZipMemberResult ReadZipMember(const char *archivePath, const char *memberName,
                              unsigned char **data, uint32_t *size);

// The same for an entry that readzip just handed out of the open zip; the
// directory cursor is left where it was.
ZipMemberResult ReadZipEntry(ZipHandle *zip, const ZipEntry *entry, unsigned char **data,
                             uint32_t *size);

// True when the archive at archivePath can be opened and lists memberName.
// Reads the directory only: what the artwork lookup needs to say "found".
bool ZipHoldsMember(const char *archivePath, const char *memberName);

// Splits a path of the form ARCHIVE\MEMBER: the part up to the first
// component ending in ".zip" (any letter case, followed by '\' or '/') that
// names a file that opens is the archive, copied into archive (archiveBytes);
// the rest, after that one separator, is the member name, *member pointing
// into path. False when no such component exists: the path names a plain file.
bool SplitZipMemberPath(const char *path, char *archive, size_t archiveBytes,
                        const char **member);
