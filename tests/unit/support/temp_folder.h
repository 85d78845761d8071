// A scratch folder for one test, removed with everything in it at the end.
#pragma once
#include <string>

#ifndef _WIN32
class TempFolder {
public:
    // Makes a fresh folder /tmp/<prefix>XXXXXX; a failure is reported to the
    // running test and leaves path() empty.
    explicit TempFolder(const std::string &prefix = "quillmere-test-");
    ~TempFolder();   // removes the folder and all below it (links are not followed)
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::string &path() const { return path_; }
    // The path of name ('/' separated, relative) inside the folder; nothing is made.
    std::string File(const std::string &name) const { return path_ + "/" + name; }
    // Writes bytes to name, making the folders on its way; returns its path.
    std::string Write(const std::string &name, const std::string &bytes) const;
    // Makes the folder name and the folders on its way.
    void Folder(const std::string &name) const;

private:
    std::string path_;
};
#endif
