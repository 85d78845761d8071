#include "config/settings.h"

// Off Windows there is no registry: the key never exists. Tests put their
// own store in with SetSettingsStore.
static long OpenNothing(bool, void **)
{
    return 2;   // ERROR_FILE_NOT_FOUND
}
static long QueryNothing(void *, const char *, void *, unsigned long *)
{
    return 2;
}
static long SetNothing(void *, const char *, unsigned long, const void *, unsigned long)
{
    return 5;   // ERROR_ACCESS_DENIED
}
static void CloseNothing(void *)
{
}

const SettingsStore *PlatformSettingsStore()
{
    static const SettingsStore store = {OpenNothing, QueryNothing, SetNothing, CloseNothing};
    return &store;
}
