#include "config/settings.h"
#include "config/settings_file.h"

// Off Windows there is no registry: the settings live in a text file,
// $XDG_CONFIG_HOME/quillmere/settings unless another one is chosen. Tests
// put their own store in with SetSettingsStore.
const SettingsStore *PlatformSettingsStore()
{
    return SettingsFileStore();
}
