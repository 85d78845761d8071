#include "support/temp_folder.h"

#ifndef _WIN32
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

TempFolder::TempFolder(const std::string &prefix)
{
    std::string pattern = "/tmp/" + prefix + "XXXXXX";
    if (mkdtemp(&pattern[0]))
        path_ = pattern;
    EXPECT_FALSE(path_.empty()) << "cannot make a temporary folder " << pattern;
}

TempFolder::~TempFolder()
{
    std::error_code error;
    if (!path_.empty() && (fs::remove_all(path_, error), error))
        ADD_FAILURE() << "cannot remove " << path_;
}

std::string TempFolder::Write(const std::string &name, const std::string &bytes) const
{
    if (name.find('/') != std::string::npos)
        Folder(name.substr(0, name.rfind('/')));
    std::ofstream out(File(name), std::ios::binary);
    EXPECT_TRUE(out.write(bytes.data(), bytes.size()).flush()) << "cannot write " << File(name);
    return File(name);
}

void TempFolder::Folder(const std::string &name) const
{
    std::error_code error;
    fs::create_directories(File(name), error);
    EXPECT_FALSE(error) << "cannot make " << File(name);
}
#endif
