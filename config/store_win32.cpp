#include <windows.h>

#include "config/settings.h"

static const char kSettingsKey[] = "Software\\Quillmere";

static long OpenRegistry(bool forWriting, void **key)
{
    HKEY opened = nullptr;
    long result;
    if (forWriting)
        result = RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &opened,
                                 nullptr);
    else
        result = RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &opened);
    *key = opened;
    return result;
}

static long QueryRegistry(void *key, const char *name, void *data, unsigned long *size)
{
    DWORD length = *size;
    long result = RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, nullptr,
                                   static_cast<BYTE *>(data), &length);
    *size = length;
    return result;
}

static long SetRegistry(void *key, const char *name, unsigned long type, const void *data,
                        unsigned long size)
{
    return RegSetValueExA(static_cast<HKEY>(key), name, 0, type,
                          static_cast<const BYTE *>(data), size);
}

static void CloseRegistry(void *key)
{
    RegCloseKey(static_cast<HKEY>(key));
}

const SettingsStore *PlatformSettingsStore()
{
    static const SettingsStore store = {OpenRegistry, QueryRegistry, SetRegistry,
                                        CloseRegistry};
    return &store;
}
