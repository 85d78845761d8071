#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/format.h"
#include "config/controls.h"
#include "config/settings.h"

static const char kRegistryError[] = "Registry error";
static const char kOpenFailed[] = "Error openning registry key, configuration aborted";

// The leading decimal integer of a timer box: blanks skipped, an optional
// sign, digits up to the first other character; no digits give 0. Values
// beyond 32 bits are held at the nearest limit rather than wrapping.
static int32_t LeadingInteger(const char *text)
{
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r' ||
           *text == '\f' || *text == '\v')
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    long long value = 0;
    for (; isdigit(static_cast<unsigned char>(*text)); ++text) {
        value = value * 10 + (*text - '0');
        if (value > 2147483648LL)
            value = 2147483648LL;
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        value = 2147483647LL;
    return static_cast<int32_t>(value);
}

int BuildSystemsList(void *dialog, const DialogControls *controls, char *packed,
                     int *leftOut)
{
    int used = 0;
    *leftOut = 0;
    char line[1024];
    for (int index = 0;; ++index) {
        if (controls->ListGetLine(dialog, IDC_SYSTEMS_LIST, index, line, sizeof line) ==
            kListError)
            break;
        int length = static_cast<int>(strlen(line));
        // Keep room for the NUL that ends the value.
        if (used + length + 1 + 1 > kSystemsListBytes) {
            ++*leftOut;
            continue;
        }
        memcpy(packed + used, line, length + 1);
        used += length + 1;
    }
    packed[used++] = '\0';
    return used;
}

namespace {

// One save: the open key, and what to do when a step fails.
struct Saving {
    void *dialog;
    const DialogControls *controls;
    const SettingsStore *store;
    void *key = nullptr;

    bool Fail(const char *message)
    {
        if (key)
            store->Close(key);
        key = nullptr;
        controls->ShowError(dialog, message, kRegistryError);
        controls->EndDialog(dialog, 1);
        return false;
    }

    bool OpenKey()
    {
        if (key)
            store->Close(key);
        key = nullptr;
        if (store->Open(true, &key) != 0) {
            key = nullptr;
            return Fail(kOpenFailed);
        }
        return true;
    }

    bool Text(const char *name, int control, char *setting, const char *message)
    {
        controls->GetText(dialog, control, setting, kTextSetting);
        unsigned long size = static_cast<unsigned long>(strlen(setting)) + 1;
        if (store->Set(key, name, kRegSz, setting, size) != 0)
            return Fail(message);
        return true;
    }

    bool Number(const char *name, int32_t value, const char *message)
    {
        unsigned char bytes[4] = {
            static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
        if (store->Set(key, name, kRegDword, bytes, sizeof bytes) != 0)
            return Fail(message);
        return true;
    }

    bool Timer(const char *name, int control, int32_t *setting, const char *message)
    {
        char text[kTextSetting];
        controls->GetText(dialog, control, text, sizeof text);
        *setting = LeadingInteger(text);
        return Number(name, *setting, message);
    }
};

}  // namespace

void SaveConfigToRegistry(void *dialog, const DialogControls *controls)
{
    Saving save{dialog, controls, CurrentSettingsStore()};

    controls->GetText(dialog, IDC_MESS_EXE, MessPath, kTextSetting);
    if (!save.OpenKey() ||
        !save.Text("MessPath", IDC_MESS_EXE, MessPath,
                   "Error while writing MESS path to registry") ||
        !save.Text("MessSoftwarePath", IDC_MESS_SOFTWARE, MessSoftwarePath,
                   "Error while writing MESS Software path to registry") ||
        !save.Text("MessBiosPath", IDC_MESS_BIOS, MessBiosPath,
                   "Error while writing MESS Bios path to registry") ||
        !save.Text("MessOption", IDC_MESS_OPTION, MessOption,
                   "Error while writing MESS option to registry"))
        return;
    if (!save.OpenKey() ||
        !save.Text("MamePath", IDC_MAME_EXE, MamePath,
                   "Error while writing MAME path to registry") ||
        !save.Text("MameRomsPath", IDC_MAME_ROMS, MameRomsPath,
                   "Error while writing MAME Software path to registry") ||
        !save.Text("MameOption", IDC_MAME_OPTION, MameOption,
                   "Error while writing MAME option to registry"))
        return;
    MameCheckOnlyPerfect = controls->GetCheck(dialog, IDC_ONLY_PERFECT) == 1 ? 1 : 0;
    if (!save.Number("MameCheckOnlyPerfect", MameCheckOnlyPerfect,
                     "Error while writing MAME Check Only Perfect") ||
        !save.Timer("SystemChangeTimer", IDC_TIMER_END_RUN, &TimerEndRun,
                    "Error while writing System change timer to registry") ||
        !save.Timer("SplashScreenTimer", IDC_TIMER_START, &TimerStart,
                    "Error while writing Splash screen timer to registry") ||
        !save.Number("WaitForMESSTimer", TimerStarting,
                     "Error while writing Wait for MESS timer to registry") ||
        !save.Number("PollTimer", TimerPoll, "Error while writing poll timer to registry") ||
        !save.Timer("DarkAfterMinutes", IDC_DARK_AFTER, &DarkAfterMinutes,
                    "Error while writing dark timer to registry"))
        return;

    static char packed[kSystemsListBytes];
    int leftOut = 0;
    int size = BuildSystemsList(dialog, controls, packed, &leftOut);
    if (save.store->Set(save.key, "SystemsList", kRegMultiSz, packed,
                        static_cast<unsigned long>(size)) != 0) {
        save.Fail("Error while writing system list to registry");
        return;
    }
    save.store->Close(save.key);
    if (leftOut > 0) {
        char message[128];
        FormatText(message, sizeof message,
                   "The list of systems is too long: %d lines were not saved", leftOut);
        controls->ShowError(dialog, message, "Systems list");
    }
}
