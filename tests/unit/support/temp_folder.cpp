#include "support/temp_folder.h"

#ifndef _WIN32
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

TempFolder::TempFolder(const std::string &prefix)
{
    std::string pattern = "/tmp/" + prefix + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (const char *made = mkdtemp(buffer.data()))
        path_ = made;
    else
        ADD_FAILURE() << "cannot make a temporary folder " << pattern;
}

TempFolder::~TempFolder()
{
    if (path_.empty())
        return;
    std::error_code error;
    fs::remove_all(path_, error);
    EXPECT_FALSE(error) << "cannot remove " << path_ << ": " << error.message();
}

std::string TempFolder::File(const std::string &name) const
{
    return path_ + "/" + name;
}

std::string TempFolder::Write(const std::string &name, const std::string &bytes) const
{
    std::string file = File(name);
    if (path_.empty())
        return file;   // the missing folder was reported already
    size_t slash = name.rfind('/');
    if (slash != std::string::npos)
        Folder(name.substr(0, slash));
    FILE *f = fopen(file.c_str(), "wb");
    EXPECT_NE(nullptr, f) << "cannot write " << file;
    if (f) {
        EXPECT_EQ(bytes.size(), fwrite(bytes.data(), 1, bytes.size(), f)) << file;
        EXPECT_EQ(0, fclose(f)) << file;
    }
    return file;
}

void TempFolder::Folder(const std::string &name) const
{
    if (path_.empty())
        return;
    std::error_code error;
    fs::create_directories(File(name), error);
    EXPECT_FALSE(error) << "cannot make " << File(name) << ": " << error.message();
}
#endif
