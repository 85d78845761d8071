// The zip directory reader on real archives (Go's test corpus, archives
// written by Info-ZIP) and on hand-built ones for what no tool writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "artwork/zipread.h"
#include "support/bytes.h"
#include "support/temp_folder.h"
#include "support/test_files.h"

using std::string;
using Names = std::vector<string>;

namespace {

const Names kRefused = {"<refused>"};

// Every name readzip hands out until its first null, which must stay null.
Names Read(const string &file)
{
    ZipHandle *zip = openzip(file.c_str());
    if (!zip)
        return kRefused;
    Names names;
    while (ZipEntry *entry = readzip(zip))
        names.push_back(entry->name);
    if (readzip(zip))
        names.push_back("<read again after the end>");
    closezip(zip);
    return names;
}

TEST(ZipRead, GoCorpus)
{
    const string go = "/usr/share/go-1.19/src/archive/zip/testdata/";
    const Names gopher = {"test.txt", "gophercolor16x16.png"}, txt = {"test.txt"},
                unix = {"hello", "dir/bar", "dir/empty/", "readonly"}, foobar = {"foo.txt", "bar.txt"},
                world = {"\xe4\xb8\x96\xe7\x95\x8c"};
    const std::pair<const char *, Names> rows[] = {
        {"crc32-not-streamed.zip", foobar}, {"dd.zip", {"filename"}}, {"dupdir.zip", {"a/", "a/b", "a/b/", "a/b/c"}},
        {"go-no-datadesc-sig.zip", foobar}, {"go-with-datadesc-sig.zip", foobar}, {"readme.notzip", kRefused},
        {"readme.zip", {"README"}},   // a comment of more than a kilobyte
        {"subdir.zip", {"a/", "a/b/", "a/b/c"}}, {"symlink.zip", {"symlink"}},
        {"test-baddirsz.zip", gopher},   // the stated directory size is short
        {"test-prefix.zip", {}},         // bytes before the archive: the first record is junk
        {"test-trailing-junk.zip", gopher}, {"test.zip", gopher}, {"time-22738.zip", {"file"}}, {"time-7zip.zip", txt},
        {"time-go.zip", txt}, {"time-infozip.zip", txt}, {"time-osx.zip", txt}, {"time-win7.zip", txt},
        {"time-winrar.zip", txt}, {"time-winzip.zip", txt}, {"unix.zip", unix}, {"utf8-7zip.zip", world},
        {"utf8-infozip.zip", world}, {"utf8-osx.zip", world}, {"utf8-winrar.zip", world}, {"utf8-winzip.zip", world},
        {"winxp.zip", unix}, {"zip64-2.zip", kRefused}, {"zip64.zip", kRefused},   // the offset is 0xFFFFFFFF
    };
    ASSERT_EQ(FilesEndingIn(go, "zip", '/').size() + 1, std::size(rows)) << "a corpus file without a row";
    TempFolder temp("zip ");
    for (const auto &[file, names] : rows) {
        SCOPED_TRACE(file);
        string path = go + file;
        if (!std::filesystem::exists(path)) {   // Go keeps one archive in base64
            CommandOutput("base64 -d '" + path + ".base64' > '" + temp.File(file) + "'");
            path = temp.File(file);
        }
        EXPECT_EQ(names, Read(path));
    }
}

// One central directory record; stated lengths of -1 are the real ones.
string Record(const string &name, int statedName = -1, int statedExtra = 0)
{
    string out = string("PK\x01\x02", 4) + string(24, '\x7f');
    PutWord(out, statedName < 0 ? name.size() : statedName);
    PutWord(out, statedExtra);
    return out + string(14, '\0') + name;
}

string End(int disk, int here, int total, uint32_t size, uint32_t offset, const string &comment = "",
           int statedComment = -1)
{
    string out("PK\x05\x06", 4);
    for (int word : {disk, 0, here, total})
        PutWord(out, word);
    PutDword(out, size);
    PutDword(out, offset);
    PutWord(out, statedComment < 0 ? comment.size() : statedComment);
    return out + comment;
}

// 30 filler bytes (local headers and data), the directory, a consistent end record.
string Archive(const Names &records, const string &comment = "", const string &tail = "")
{
    string directory;
    for (const string &record : records)
        directory += record;
    directory += tail;
    return string(30, 'd') + directory +
           End(0, records.size(), records.size(), directory.size(), 30, comment);
}

TEST(ZipRead, HandBuiltArchives)
{
    const string a = Record("a.txt"), one = Record("one.txt"), two = Record("two.txt");
    const string inner = End(0, 1, 1, two.size(), 30 + one.size());   // describes "two" only
    const string head(30, 'd'), outer = head + one + two;
    const uint32_t both = one.size() + two.size();
    string letters;
    for (int i = 0; i < 65535; i++)
        letters += static_cast<char>('a' + i % 26);
    const struct {
        const char *what;
        string bytes;
        Names names;
    } rows[] = {
        {"empty file", "", kRefused},
        {"21 bytes with a signature", string("PK\x05\x06", 4) + string(17, '\0'), kRefused},
        {"a partial signature", string(30, 'x') + "PK\x05" + string(30, 'x'), kRefused},
        {"no entries", head + a + End(0, 0, 0, 0, 30), kRefused},
        {"spanning disks", head + a + End(1, 1, 1, a.size(), 30), kRefused},
        {"directory past the end", head + a + End(0, 1, 1, a.size(), 53), kRefused},
        {"directory of 4 GiB", head + a + End(0, 1, 1, 0xFFFFFFF0u, 30), kRefused},
        {"offset beyond 31 bits", head + a + End(0, 1, 1, a.size(), 0x80000000u), kRefused},
        {"signature in the comment, 22 bytes before the end", outer + End(0, 2, 2, both, 30, inner), {"two.txt"}},
        {"signature with 21 bytes left", outer + End(0, 2, 2, both, 30, "abc" + inner.substr(0, 21)),
         {"one.txt", "two.txt"}},
        {"comment of 65535 bytes", Archive({one, two}, letters), {"one.txt", "two.txt"}},
        {"name running past the directory", Archive({one, Record("second", 7)}), {"one.txt"}},
        {"tail of 45 bytes", Archive({a}, "", Record("").substr(0, 45)), {"a.txt"}},
        {"extra field past the end", Archive({one, Record("last", -1, 0xFFFF)}), {"one.txt", "last"}},
        {"more records than stated", outer + a + End(0, 1, 1, both + a.size(), 30), {"one.txt", "two.txt", "a.txt"}},
        {"names keep every byte", Archive({Record("a\\b/c"), Record("\xff\x80 x"), Record("")}), {"a\\b/c", "\xff\x80 x", ""}},
        {"names beyond 255 bytes", Archive({Record(letters.substr(0, 300)), one}), {letters.substr(0, 300), "one.txt"}},
    };
    TempFolder temp("zip ");
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.names, Read(temp.Write("hand.zip", row.bytes)));
    }
    EXPECT_EQ(kRefused, Read(temp.File("missing.zip")));
    EXPECT_EQ(kRefused, Read(temp.path()));
}

TEST(ZipRead, NamesTurnIntoTheActiveCodePageOrAreRefused)
{
    // Natively the active code page is UTF-8. Flag bit 11 says UTF-8, else code page 437; "" is refused.
    const std::pair<string, string> rows[] = {   // UTF-8 bytes without the flag are code page 437
        {"U\xe4\xb8\x96\xf0\x9f\x8e\xae", "\xe4\xb8\x96\xf0\x9f\x8e\xae"}, {"Caf\xc3\xa9\xff", "Caf\xe2\x94\x9c\xe2\x8c\x90\xc2\xa0"},
        {"UCaf\xe9", ""}, {"U\xc0\xaf", ""}, {"U\xed\xa0\x80", ""}, {"U\xf4\x90\x80\x80", ""}, {"U\xe4\xb8", ""},
        {string("a\0b", 3), ""}, {string(1023, 'n'), string(1023, 'n')}, {string(1022, 'n') + "\x8a", ""}};
    for (const auto &[stored, expected] : rows) {
        const bool utf8 = stored[0] == 'U';   // rows starting with U hold a flagged UTF-8 name after it
        ZipEntry entry = {};
        entry.name = const_cast<char *>(stored.data() + utf8), entry.flags = utf8 ? 0x0808 : 0x0008;
        entry.nameLength = static_cast<uint16_t>(stored.size() - utf8);
        char name[1024] = "x";
        EXPECT_EQ(expected.empty() ? "<refused>" : expected, ZipEntryName(&entry, name, sizeof name) ? name : "<refused>" + string(name))
            << stored.substr(0, 12);
    }
}

}  // namespace
