// MAME's own settings, where Debian's MAME keeps them: ~/.mame/mame.ini, else
// /etc/mame/mame.ini. The Linux edition takes its defaults (the ROM folder)
// and further artwork places (snapshots, artwork packs) from there. On
// Windows, where MAME keeps its ini beside its executable and the user names
// the folders in the dialog, nothing is read.
#pragma once
#include <string>
#include <vector>

// The folders of the path setting key (rompath, artpath, snapshot_directory)
// in iniText: the first line whose first word is key, its value split at
// ';', each folder with a leading $HOME or ~ turned into home. Empty when
// the key is missing or home is needed but empty.
std::vector<std::string> MameIniFoldersIn(const std::string &iniText, const char *key,
                                          const std::string &home);

// The same from the user's mame.ini, else the system's; empty on Windows or
// when neither can be read. *from names the file read, when given.
std::vector<std::string> MameIniFolders(const char *key, std::string *from = nullptr);

// True for a folder of the system (/usr/..., /bin, /sbin, /opt/...): no
// place to suggest putting artwork in, nor one a user keeps artwork in.
bool IsSystemFolder(const char *folder);
