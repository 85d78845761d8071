// A settings file as a user may write it: any bytes, loaded as the saver
// loads its settings.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "config/settings_file.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = InputAsFile("settings", "txt", data, size);
    if (!path || !SetSettingsFile(path))
        return 0;
    SetSettingsStore(SettingsFileStore());
    ResetSettings();
    ReadConfigurationInRegistry();
    // Every text setting ends inside its buffer; every list entry is whole.
    for (const char *text : {MessPath, MessExe, MessSoftwarePath, MessBiosPath, MessOption,
                             MamePath, MameExe, MameRomsPath, MameOption})
        if (!memchr(text, '\0', kTextSetting))
            abort();
    for (int i = 0; i < Number_of_machine; ++i)
        if (!AvailableMachine[i].Name[0] ||
            !memchr(AvailableMachine[i].Name, '\0', sizeof AvailableMachine[i].Name))
            abort();
    return 0;
}
