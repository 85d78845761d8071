// For fuzz targets whose code under test reads a file by path: the input is
// written to one file of this process's own, overwritten on every run.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

// Writes data to /tmp/quillmere-<kind>-fuzz-<pid>.<extension> and returns
// that path, or nullptr when it cannot be written. kind and extension are
// fixed by the first call; the file is removed when the process exits.
inline const char *InputAsFile(const char *kind, const char *extension, const uint8_t *data, size_t size)
{
    static const std::string path =
        "/tmp/quillmere-" + std::string(kind) + "-fuzz-" + std::to_string(getpid()) + "." + extension;
    static const int removedAtExit = atexit([] { unlink(path.c_str()); });
    FILE *file = fopen(path.c_str(), "wb");
    bool written = file && fwrite(data, 1, size, file) == size;
    return file && fclose(file) == 0 && written && removedAtExit == 0 ? path.c_str() : nullptr;
}
