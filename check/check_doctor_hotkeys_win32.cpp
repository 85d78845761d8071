// The doctor on the session's hot keys under Windows: each is registered for
// a moment, as the session registers it, and given back at once.
#include <windows.h>

#include <string>
#include <vector>

#include "check/doctor.h"

namespace doctor {

void CheckHotKeys()
{
    const struct {
        const char *name;
        UINT key;
    } keys[] = {{"Escape", VK_ESCAPE}, {"Pause", VK_PAUSE}, {"Backspace", VK_BACK}};
    std::vector<std::string> held;
    DWORD error = 0;
    int id = 1;
    for (const auto &key : keys) {
        if (RegisterHotKey(nullptr, id, 0, key.key)) {
            UnregisterHotKey(nullptr, id);
        } else {
            error = GetLastError();
            held.push_back(key.name);
        }
        ++id;
    }
    SayHeldKeys(held, Text("error %lu", static_cast<unsigned long>(error)));
}

}   // namespace doctor
