#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/temp_folder.h"
#include "support/test_files.h"
#include "artwork/zipread.h"

namespace fs = std::filesystem;
using std::string;
using std::vector;

namespace {

const char kGoTestdata[] = "/usr/share/go-1.19/src/archive/zip/testdata";
const char kCorrupt[] = "The zipfile seems to be corrupt, please check it";
const char kFilesystem[] = "Your filesystem seems to be corrupt, please check it";
const char kUnsupported[] = "The format of this zipfile is not supported, please recompress it";

struct Report {
    string detail, message, path;
};
vector<Report> reports;

void RecordReport(const char *detail, const char *message, const char *path)
{
    reports.push_back({detail, message, path});
}

// One central directory record with every fixed field given.
struct Record {
    Record(string n, string e = "", string c = "") : name(n), extra(e), comment(c) {}
    string name;
    string extra;
    string comment;
    uint32_t crc = 0xCAFEBABE;
    uint16_t nameLengthOverride = 0;   // non-zero: stated instead of the real length
    uint16_t extraLengthOverride = 0;
};

string RecordBytes(const Record &r)
{
    string out("PK\x01\x02", 4);
    out += '\x14';   // version made by
    out += '\x03';   // host system
    out += '\x0a';   // version needed
    out += '\x00';
    PutWord(out, 0x0800);       // flags
    PutWord(out, 8);            // deflate
    PutWord(out, 0x6d2a);       // time
    PutWord(out, 0x5a21);       // date
    PutDword(out, r.crc);
    PutDword(out, 1234);        // compressed
    PutDword(out, 56789);       // uncompressed
    PutWord(out, r.nameLengthOverride ? r.nameLengthOverride : r.name.size());
    PutWord(out, r.extraLengthOverride ? r.extraLengthOverride : r.extra.size());
    PutWord(out, r.comment.size());
    PutWord(out, 0);            // start disk
    PutWord(out, 1);            // internal attributes
    PutDword(out, 0x81a40000);  // external attributes
    PutDword(out, 0x01020304);  // local header offset
    return out + r.name + r.extra + r.comment;
}

struct EndRecord {
    EndRecord(uint16_t disk = 0, uint16_t start = 0, uint16_t here = 0, uint16_t all = 0,
              uint32_t bytes = 0, uint32_t at = 0)
        : thisDisk(disk), startDisk(start), entriesHere(here), total(all), size(bytes), offset(at)
    {
    }
    uint16_t thisDisk, startDisk;
    uint16_t entriesHere, total;
    uint32_t size, offset;
    string comment;
    int commentLengthDelta = 0;
};

string EndRecordBytes(const EndRecord &e)
{
    string out("PK\x05\x06", 4);
    PutWord(out, e.thisDisk);
    PutWord(out, e.startDisk);
    PutWord(out, e.entriesHere);
    PutWord(out, e.total);
    PutDword(out, e.size);
    PutDword(out, e.offset);
    PutWord(out, e.comment.size() + e.commentLengthDelta);
    return out + e.comment;
}

// An archive of some filler bytes (standing for local headers and data), the
// directory made of records and extra tail bytes, and a consistent end record.
string Archive(const vector<Record> &records, const string &comment = "",
               const string &directoryTail = "")
{
    string filler(30, 'd');
    string directory;
    for (const Record &r : records)
        directory += RecordBytes(r);
    directory += directoryTail;
    EndRecord e;
    e.entriesHere = e.total = records.size();
    e.size = directory.size();
    e.offset = filler.size();
    e.comment = comment;
    return filler + directory + EndRecordBytes(e);
}

// Everything readzip hands out until its first null.
vector<string> Names(ZipHandle *zip)
{
    vector<string> names;
    while (ZipEntry *entry = readzip(zip))
        names.push_back(entry->name);
    return names;
}

class ZipRead : public ::testing::Test {
protected:
    void SetUp() override
    {
        reports.clear();
        SetZipReportHook(RecordReport);
    }
    void TearDown() override { SetZipReportHook(nullptr); }

    // openzip must fail with exactly one report of the given detail.
    void ExpectOpenFails(const string &file, const string &detail, const string &message)
    {
        reports.clear();
        ZipHandle *zip = openzip(file.c_str());
        EXPECT_EQ(nullptr, zip);
        if (zip)
            closezip(zip);
        ASSERT_EQ(1u, reports.size());
        EXPECT_EQ(detail, reports[0].detail);
        EXPECT_EQ(message, reports[0].message);
        EXPECT_EQ(file, reports[0].path);
    }

    TempFolder temp{"zipread_test_"};
};

// ---- Byte order ------------------------------------------------------------

TEST(ZipBytes, ValuesAreLittleEndianWhateverTheHost)
{
    // Odd offsets inside one array: no alignment is needed either.
    const unsigned char bytes[] = {0xEE, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(0x1234u, read_word(bytes + 1));
    EXPECT_EQ(0x7812u, read_word(bytes + 2));
    EXPECT_EQ(0x12345678u, read_dword(bytes + 3));
    EXPECT_EQ(0xFFFFu, read_word(bytes + 7));
    EXPECT_EQ(0xFFFFFFFFu, read_dword(bytes + 7));
    EXPECT_EQ(0xFF123456u, read_dword(bytes + 4));
    const unsigned char high[] = {0x00, 0x80, 0x00, 0x00, 0x00, 0x80};
    EXPECT_EQ(0x8000u, read_word(high));
    EXPECT_EQ(0x80000000u, read_dword(high + 2));
}

TEST(ZipBytes, SignatureSearchKeepsRoomForTheFixedRecord)
{
    string sig("PK\x05\x06", 4);
    struct Row {
        const char *what;
        string buffer;
        int found;
        uint32_t offset;
    } rows[] = {
        {"empty", "", 0, 0},
        {"21 bytes starting with a signature", sig + string(17, 'x'), 0, 0},
        {"22 bytes starting with a signature", sig + string(18, 'x'), 1, 0},
        {"signature in the last 21 bytes only", string(30, 'x') + sig + string(10, 'x'), 0, 0},
        {"two signatures, the later one wins", string(5, 'x') + sig + string(3, 'x') + sig +
                                                   string(30, 'x'), 1, 12},
        {"later one too near the end", string(5, 'x') + sig + string(20, 'x') + sig + "xx", 1, 5},
        {"a partial signature", string(30, 'x') + "PK\x05" + string(30, 'x'), 0, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        uint32_t offset = 0xDEAD;
        EXPECT_EQ(row.found, ecd_find_sig(reinterpret_cast<const unsigned char *>(row.buffer.data()),
                                          row.buffer.size(), &offset));
        if (row.found)
            EXPECT_EQ(row.offset, offset);
        else
            EXPECT_EQ(0xDEADu, offset);
    }
}

// ---- Real archives ---------------------------------------------------------

// Decodes the one archive Go keeps in base64 form.
string Base64Decode(const string &text)
{
    string out;
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        int value;
        if (c >= 'A' && c <= 'Z')
            value = c - 'A';
        else if (c >= 'a' && c <= 'z')
            value = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            value = c - '0' + 52;
        else if (c == '+')
            value = 62;
        else if (c == '/')
            value = 63;
        else
            continue;
        bits = bits << 6 | value;
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xff);
        }
    }
    return out;
}

TEST_F(ZipRead, GoArchivesGiveTheirStoredNames)
{
    ASSERT_TRUE(fs::is_directory(kGoTestdata)) << "package golang-1.19-src is missing";
    const string world = "\xe4\xb8\x96\xe7\x95\x8c";   // the UTF-8 bytes as stored
    const vector<string> testTxt = {"test.txt"};
    const vector<string> unixNames = {"hello", "dir/bar", "dir/empty/", "readonly"};
    const vector<string> gopher = {"test.txt", "gophercolor16x16.png"};
    struct Row {
        const char *file;
        vector<string> names;   // when it opens
        const char *failure;    // detail of the openzip report, or null
        bool badRecord;         // readzip ends with a bad-record report
    } rows[] = {
        {"crc32-not-streamed.zip", {"foo.txt", "bar.txt"}, nullptr, false},
        {"dd.zip", {"filename"}, nullptr, false},
        {"dupdir.zip", {"a/", "a/b", "a/b/", "a/b/c"}, nullptr, false},
        {"go-no-datadesc-sig.zip", {"foo.txt", "bar.txt"}, nullptr, false},
        {"go-with-datadesc-sig.zip", {"foo.txt", "bar.txt"}, nullptr, false},
        {"readme.notzip", {}, "Reading ECD (end of central directory)", false},
        // Its comment is longer than a kilobyte: found on a doubled window.
        {"readme.zip", {"README"}, nullptr, false},
        {"subdir.zip", {"a/", "a/b/", "a/b/c"}, nullptr, false},
        {"symlink.zip", {"symlink"}, nullptr, false},
        // The stated directory size is short, but the names still fit.
        {"test-baddirsz.zip", gopher, nullptr, false},
        // 43 bytes stand before the archive, so the stated offset lands
        // inside the data and the first "record" is junk.
        {"test-prefix.zip", {}, nullptr, true},
        {"test-trailing-junk.zip", gopher, nullptr, false},
        {"test.zip", gopher, nullptr, false},
        {"time-22738.zip", {"file"}, nullptr, false},
        {"time-7zip.zip", testTxt, nullptr, false},
        {"time-go.zip", testTxt, nullptr, false},
        {"time-infozip.zip", testTxt, nullptr, false},
        {"time-osx.zip", testTxt, nullptr, false},
        {"time-win7.zip", testTxt, nullptr, false},
        {"time-winrar.zip", testTxt, nullptr, false},
        {"time-winzip.zip", testTxt, nullptr, false},
        {"unix.zip", unixNames, nullptr, false},
        {"utf8-7zip.zip", {world}, nullptr, false},
        {"utf8-infozip.zip", {world}, nullptr, false},
        {"utf8-osx.zip", {world}, nullptr, false},
        {"utf8-winrar.zip", {world}, nullptr, false},
        {"utf8-winzip.zip", {world}, nullptr, false},
        {"winxp.zip", unixNames, nullptr, false},
        // ZIP64: the 32-bit directory offset is 0xFFFFFFFF, never a position.
        {"zip64-2.zip", {}, "Seeking to central directory", false},
        {"zip64.zip", {}, "Seeking to central directory", false},
    };
    ASSERT_EQ(30u, sizeof rows / sizeof rows[0]);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.file);
        string file = string(kGoTestdata) + "/" + row.file;
        if (!fs::exists(file)) {
            string encoded = ReadWhole(file + ".base64");
            ASSERT_FALSE(encoded.empty());
            file = temp.Write(row.file, Base64Decode(encoded));
        }
        if (row.failure) {
            ExpectOpenFails(file, row.failure, kCorrupt);
            continue;
        }
        reports.clear();
        ZipHandle *zip = openzip(file.c_str());
        ASSERT_NE(nullptr, zip);
        EXPECT_EQ(static_cast<int32_t>(fs::file_size(file)), zip->fileLength);
        vector<string> names = Names(zip);
        EXPECT_EQ(row.names, names);
        if (!row.badRecord) {
            EXPECT_EQ(zip->totalEntries, names.size());
            EXPECT_TRUE(reports.empty());
        } else {
            ASSERT_EQ(1u, reports.size());
            EXPECT_EQ("Invalid filename length in directory", reports[0].detail);
            EXPECT_EQ(file, reports[0].path);
        }
        EXPECT_EQ(nullptr, readzip(zip));
        closezip(zip);
    }
}

TEST_F(ZipRead, GoArchiveFieldsAreDecoded)
{
    // Info-ZIP's own listing of the same archive says: two entries, the first
    // deflated (method 8) and the second stored, both made on Unix (host 3).
    string file = string(kGoTestdata) + "/test.zip";
    ZipHandle *zip = openzip(file.c_str());
    ASSERT_NE(nullptr, zip);
    EXPECT_EQ(0x06054b50u, zip->ecdSignature);
    EXPECT_EQ(2, zip->totalEntries);
    EXPECT_EQ(zip->ecd + 22, zip->comment);
    EXPECT_EQ(zip->ecdLength, 22u + zip->commentLength);
    ZipEntry *first = readzip(zip);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(0x02014b50u, first->signature);
    EXPECT_EQ(8u, first->nameLength);
    EXPECT_EQ(8u, first->compressionMethod);
    EXPECT_EQ(3u, first->hostSystem);
    EXPECT_EQ(26u, first->uncompressedSize);
    EXPECT_EQ(0u, first->localHeaderOffset);
    ZipEntry *second = readzip(zip);
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(first, second) << "the handle's own entry is handed out each time";
    EXPECT_EQ(0u, second->compressionMethod);
    EXPECT_EQ(785u, second->uncompressedSize);
    EXPECT_EQ(second->compressedSize, second->uncompressedSize);
    EXPECT_GT(second->localHeaderOffset, 0u);
    closezip(zip);
}

// ---- Archives written by Info-ZIP zip ---------------------------------------

// Runs a shell command in folder; true when it exited with 0.
bool RunShell(const string &folder, const string &command)
{
    string line = "cd '" + folder + "' && (" + command + ") >/dev/null 2>&1";
    return system(line.c_str()) == 0;
}

TEST_F(ZipRead, InfoZipLongCommentIsFoundOnALaterWindow)
{
    for (size_t lines : {10u, 30u, 50u}) {
        SCOPED_TRACE(lines);
        temp.Write("f.txt", "hello");
        // zip stores the comment's lines ended by CR LF.
        string comment;
        for (size_t i = 0; i < lines; i++)
            comment += string(100, 'c') + "\n";
        temp.Write("comment.txt", comment);
        fs::remove(temp.path() + "/c.zip");
        ASSERT_TRUE(RunShell(temp.path(), "zip -q c.zip f.txt && zip -q -z c.zip < comment.txt"));
        reports.clear();
        ZipHandle *zip = openzip((temp.path() + "/c.zip").c_str());
        ASSERT_NE(nullptr, zip);
        EXPECT_GT(zip->commentLength, 1002);
        EXPECT_EQ(22u + zip->commentLength, zip->ecdLength);
        string stored(reinterpret_cast<const char *>(zip->comment), zip->commentLength);
        EXPECT_EQ(lines * 100, static_cast<size_t>(std::count(stored.begin(), stored.end(), 'c')));
        EXPECT_EQ(vector<string>{"f.txt"}, Names(zip));
        EXPECT_TRUE(reports.empty());
        closezip(zip);
    }
}

TEST_F(ZipRead, InfoZipFolderEntriesAndPathsAreHandedOutAsStored)
{
    fs::create_directories(temp.path() + "/top/Sub Dir/deep");
    fs::create_directories(temp.path() + "/top/empty");
    temp.Write("top/a.bin", "a");
    temp.Write("top/Sub Dir/B.Txt", "b");
    temp.Write("top/Sub Dir/deep/c", "c");
    ASSERT_TRUE(RunShell(temp.path(), "zip -q -r tree.zip top"));
    ASSERT_TRUE(RunShell(temp.path(), "zipinfo -1 tree.zip > listing.txt"));
    std::istringstream listing(ReadWhole(temp.path() + "/listing.txt"));
    vector<string> expected;
    for (string line; std::getline(listing, line);)
        expected.push_back(line);

    ZipHandle *zip = openzip((temp.path() + "/tree.zip").c_str());
    ASSERT_NE(nullptr, zip);
    vector<string> names = Names(zip);
    EXPECT_EQ(expected, names);
    EXPECT_EQ(7u, names.size());
    for (const char *name : {"top/", "top/empty/", "top/Sub Dir/deep/c", "top/Sub Dir/B.Txt"})
        EXPECT_NE(names.end(), std::find(names.begin(), names.end(), name)) << name;
    closezip(zip);
}

TEST_F(ZipRead, InfoZipManyEntriesComeInStoredOrder)
{
    vector<string> written;
    string list;
    for (int i = 0; i < 3000; i++) {
        // Order unlike any sorting, so stored order is what is checked.
        string name = "f" + std::to_string((i * 7919) % 3000) + ".dat";
        temp.Write(name, std::to_string(i));
        written.push_back(name);
        list += name + "\n";
    }
    temp.Write("list.txt", list);
    ASSERT_TRUE(RunShell(temp.path(), "zip -q many.zip -@ < list.txt"));
    ZipHandle *zip = openzip((temp.path() + "/many.zip").c_str());
    ASSERT_NE(nullptr, zip);
    EXPECT_EQ(3000, zip->totalEntries);
    EXPECT_EQ(written, Names(zip));
    EXPECT_TRUE(reports.empty());
    closezip(zip);
}

// ---- Hand-built archives ---------------------------------------------------

TEST_F(ZipRead, TinyFilesHaveNoRoomForAnEndRecord)
{
    string sig("PK\x05\x06", 4);
    for (size_t length = 1; length <= 21; length++) {
        SCOPED_TRACE(length);
        // Even a signature at the very start does not leave its 22 bytes.
        string bytes = (sig + string(30, '\0')).substr(0, length);
        ExpectOpenFails(temp.Write("tiny.zip", bytes), "Reading ECD (end of central directory)",
                        kCorrupt);
    }
    ExpectOpenFails(temp.Write("empty.zip", ""), "Empty file", kCorrupt);
}

TEST_F(ZipRead, UnopenablePathsAreReported)
{
    ExpectOpenFails(temp.path() + "/missing.zip", "Opening for reading", kFilesystem);
    ExpectOpenFails(temp.path(), "Opening for reading", kFilesystem);
}

TEST_F(ZipRead, EndRecordRulesRefuseTheArchive)
{
    string directory = RecordBytes({"a.txt"});
    struct Row {
        const char *what;
        EndRecord end;
        const char *detail;
        const char *message;
    } rows[] = {
        {"no entries", {0, 0, 0, 0, 0, 30}, "Cannot span disks", kUnsupported},
        {"disks differ", {1, 0, 1, 1, static_cast<uint32_t>(directory.size()), 30},
         "Cannot span disks", kUnsupported},
        {"entry counts differ", {0, 0, 1, 2, static_cast<uint32_t>(directory.size()), 30},
         "Cannot span disks", kUnsupported},
        {"directory size 0", {0, 0, 1, 1, 0, 30}, "Reading central directory", kCorrupt},
        {"directory past the end", {0, 0, 1, 1, static_cast<uint32_t>(directory.size()), 53},
         "Reading central directory", kCorrupt},
        {"huge directory size", {0, 0, 1, 1, 0xFFFFFFF0u, 30}, "Reading central directory",
         kCorrupt},
        {"offset beyond 31 bits", {0, 0, 1, 1, static_cast<uint32_t>(directory.size()),
                                   0x80000000u},
         "Seeking to central directory", kCorrupt},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        string file = temp.Write("bad.zip", string(30, 'd') + directory + EndRecordBytes(row.end));
        ExpectOpenFails(file, row.detail, row.message);
    }
}

TEST_F(ZipRead, RecordFieldsAreDecodedAtTheirOffsets)
{
    Record r{"dir/Name.BIN", "xx", "yyy"};
    string file = temp.Write("fields.zip", Archive({r}, "hello"));
    ZipHandle *zip = openzip(file.c_str());
    ASSERT_NE(nullptr, zip);
    EXPECT_EQ(static_cast<int32_t>(fs::file_size(file)), zip->fileLength);
    EXPECT_EQ(1, zip->totalEntries);
    EXPECT_EQ(30u, zip->directoryOffset);
    EXPECT_EQ(46u + 12 + 2 + 3, zip->directorySize);
    EXPECT_EQ(5, zip->commentLength);
    EXPECT_EQ("hello", string(reinterpret_cast<const char *>(zip->comment), 5));
    EXPECT_EQ(0u, zip->cdPosition);
    ZipEntry *e = readzip(zip);
    ASSERT_NE(nullptr, e);
    EXPECT_EQ(0x02014b50u, e->signature);
    EXPECT_EQ(0x14, e->versionMadeBy);
    EXPECT_EQ(0x03, e->hostSystem);
    EXPECT_EQ(0x0a, e->versionNeeded);
    EXPECT_EQ(0x00, e->versionNeededHigh);
    EXPECT_EQ(0x0800, e->flags);
    EXPECT_EQ(8, e->compressionMethod);
    EXPECT_EQ(0x6d2a, e->modificationTime);
    EXPECT_EQ(0x5a21, e->modificationDate);
    EXPECT_EQ(0xCAFEBABEu, e->crc32);
    EXPECT_EQ(1234u, e->compressedSize);
    EXPECT_EQ(56789u, e->uncompressedSize);
    EXPECT_EQ(12, e->nameLength);
    EXPECT_EQ(2, e->extraLength);
    EXPECT_EQ(3, e->commentLength);
    EXPECT_EQ(0, e->startDisk);
    EXPECT_EQ(1, e->internalAttributes);
    EXPECT_EQ(0x81a40000u, e->externalAttributes);
    EXPECT_EQ(0x01020304u, e->localHeaderOffset);
    EXPECT_STREQ("dir/Name.BIN", e->name);
    EXPECT_EQ(zip->directorySize, zip->cdPosition);
    EXPECT_EQ(nullptr, readzip(zip));
    EXPECT_TRUE(reports.empty());
    closezip(zip);
}

TEST_F(ZipRead, SignatureInsideTheCommentIsTakenForTheEndRecord)
{
    // The comment carries a second, complete end record describing only the
    // second half of the directory; searching backward finds it first.
    string filler(30, 'd');
    string one = RecordBytes({"one.txt"});
    string two = RecordBytes({"two.txt"});
    EndRecord inner;
    inner.entriesHere = inner.total = 1;
    inner.size = two.size();
    inner.offset = filler.size() + one.size();
    string innerBytes = EndRecordBytes(inner);
    struct Row {
        const char *what;
        string comment;
        vector<string> names;
    } rows[] = {
        {"22 bytes before the end", innerBytes, {"two.txt"}},
        {"further in", "abc" + innerBytes + string(40, 'z'), {"two.txt"}},
        {"only 21 bytes before the end", "abc" + innerBytes.substr(0, 21), {"one.txt", "two.txt"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        EndRecord outer;
        outer.entriesHere = outer.total = 2;
        outer.size = one.size() + two.size();
        outer.offset = filler.size();
        outer.comment = row.comment;
        string file = temp.Write("sig.zip", filler + one + two + EndRecordBytes(outer));
        ZipHandle *zip = openzip(file.c_str());
        ASSERT_NE(nullptr, zip);
        EXPECT_EQ(row.names, Names(zip));
        closezip(zip);
    }
}

TEST_F(ZipRead, EndRecordIsFoundAtEveryWindowBoundary)
{
    // The first window is 1024 bytes: a 1002-byte comment keeps the record in
    // it, 1003 bytes push it to the next one; later windows double.
    for (size_t length : {0u, 1u, 1001u, 1002u, 1003u, 2026u, 2027u, 4074u, 4075u, 65535u}) {
        SCOPED_TRACE(length);
        string comment(length, '\0');
        for (size_t i = 0; i < length; i++)
            comment[i] = static_cast<char>('a' + i % 26);
        string file = temp.Write("long.zip", Archive({{"x"}, {"y"}}, comment));
        ZipHandle *zip = openzip(file.c_str());
        ASSERT_NE(nullptr, zip);
        EXPECT_EQ(22u + length, zip->ecdLength);
        EXPECT_EQ((vector<string>{"x", "y"}), Names(zip));
        closezip(zip);
    }
}

TEST_F(ZipRead, StatedCommentLengthIsOnlyStored)
{
    // Junk after the end record (a stated comment shorter than the bytes
    // that follow) is kept in the copy and harms nothing.
    string archive = Archive({{"a"}}, "comment");
    archive[archive.size() - 7 - 2] = 2;   // stated comment length 2 of 7
    ZipHandle *zip = openzip(temp.Write("junk.zip", archive).c_str());
    ASSERT_NE(nullptr, zip);
    EXPECT_EQ(2, zip->commentLength);
    EXPECT_EQ(29u, zip->ecdLength);
    EXPECT_EQ(vector<string>{"a"}, Names(zip));
    closezip(zip);
}

TEST_F(ZipRead, NameRunningPastTheDirectoryFailsEveryLaterCall)
{
    Record bad{"second"};
    bad.nameLengthOverride = 7;   // one byte more than the directory holds
    string file = temp.Write("name.zip", Archive({{"first"}, bad}));
    ZipHandle *zip = openzip(file.c_str());
    ASSERT_NE(nullptr, zip);
    ZipEntry *e = readzip(zip);
    ASSERT_NE(nullptr, e);
    EXPECT_STREQ("first", e->name);
    uint32_t stuck = zip->cdPosition;
    for (int call = 0; call < 3; call++) {
        SCOPED_TRACE(call);
        EXPECT_EQ(nullptr, readzip(zip));
        EXPECT_EQ(stuck, zip->cdPosition);
        ASSERT_EQ(static_cast<size_t>(call + 1), reports.size());
        EXPECT_EQ("Invalid filename length in directory", reports[call].detail);
        EXPECT_EQ(kCorrupt, reports[call].message);
        EXPECT_EQ(file, reports[call].path);
    }
    closezip(zip);
}

TEST_F(ZipRead, TailShorterThanARecordIsReportedLikeABadName)
{
    for (size_t tail : {1u, 20u, 45u}) {
        SCOPED_TRACE(tail);
        reports.clear();
        // The tail starts like a record whose name would fit, were the fixed
        // part not cut short.
        string file = temp.Write("tail.zip",
                                 Archive({{"ok"}}, "", RecordBytes({""}).substr(0, tail)));
        ZipHandle *zip = openzip(file.c_str());
        ASSERT_NE(nullptr, zip);
        EXPECT_STREQ("ok", readzip(zip)->name);
        EXPECT_EQ(nullptr, readzip(zip));
        EXPECT_EQ(nullptr, readzip(zip));
        ASSERT_EQ(2u, reports.size());
        EXPECT_EQ("Invalid filename length in directory", reports[1].detail);
        closezip(zip);
    }
}

TEST_F(ZipRead, ExtraFieldPastTheEndEndsTheDirectoryQuietly)
{
    Record r{"last"};
    r.extraLengthOverride = 0xFFFF;
    string file = temp.Write("extra.zip", Archive({{"first"}, r}));
    ZipHandle *zip = openzip(file.c_str());
    ASSERT_NE(nullptr, zip);
    EXPECT_EQ((vector<string>{"first", "last"}), Names(zip));
    EXPECT_EQ(nullptr, readzip(zip));
    EXPECT_TRUE(reports.empty());
    closezip(zip);
}

TEST_F(ZipRead, MoreRecordsThanStatedAreAllHandedOut)
{
    string filler(30, 'd');
    string directory = RecordBytes({"a"}) + RecordBytes({"b"}) + RecordBytes({"c"});
    EndRecord e;
    e.entriesHere = e.total = 1;
    e.size = directory.size();
    e.offset = filler.size();
    ZipHandle *zip = openzip(temp.Write("more.zip", filler + directory + EndRecordBytes(e)).c_str());
    ASSERT_NE(nullptr, zip);
    EXPECT_EQ(1, zip->totalEntries);
    EXPECT_EQ((vector<string>{"a", "b", "c"}), Names(zip));
    closezip(zip);
}

TEST_F(ZipRead, NamesKeepEveryByte)
{
    // Backslashes, bytes above 127 and an empty name, exactly as stored.
    vector<string> names = {"a\\b/c", "\xff\x80 x", "", "trailing/"};
    vector<Record> records;
    for (const string &n : names)
        records.push_back({n});
    ZipHandle *zip = openzip(temp.Write("bytes.zip", Archive(records)).c_str());
    ASSERT_NE(nullptr, zip);
    EXPECT_EQ(names, Names(zip));
    closezip(zip);
}

}   // namespace
