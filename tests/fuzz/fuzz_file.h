// For fuzz targets whose code under test reads a file by path: the input is
// written to one file of this process's own, overwritten on every run.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

// Writes data to /dev/shm/quillmere-<kind>-fuzz-<pid>.<extension> (in
// memory: rewriting a disk file costs ext4 a flush each time, far more than
// the code under test; /tmp when there is no /dev/shm) and returns that
// path, or nullptr when it cannot be written. kind and extension are fixed by
// the first call; the file is removed when the process exits.
inline const char *InputAsFile(const char *kind, const char *extension, const uint8_t *data, size_t size)
{
    static const std::string path = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/quillmere-") +
                                    kind + "-fuzz-" + std::to_string(getpid()) + "." + extension;
    static const int removedAtExit = atexit([] { unlink(path.c_str()); });
    FILE *file = fopen(path.c_str(), "wb");
    bool written = file && fwrite(data, 1, size, file) == size;
    return file && fclose(file) == 0 && written && removedAtExit == 0 ? path.c_str() : nullptr;
}
