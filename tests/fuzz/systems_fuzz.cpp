// The "SystemsList" value as the registry may hold it: any bytes, any length.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "config/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ClearMachineList();
    ParseSystemsList(reinterpret_cast<const char *>(data), static_cast<int>(size));
    for (int i = 0; i < Number_of_machine; ++i) {
        const MachineEntry &entry = AvailableMachine[i];
        // Whole words only: never empty, never cut, never holding a blank.
        if (!memchr(entry.Name, '\0', sizeof entry.Name) ||
            !memchr(entry.Extension, '\0', sizeof entry.Extension) || !entry.Name[0] ||
            strchr(entry.Name, ' ') || strchr(entry.Extension, ' '))
            abort();
    }
    return 0;
}
