#include <cstdlib>
#include <cstring>
#include <iterator>

#include "base/format.h"
#include "config/controls.h"
#include "config/settings.h"

static const char kRegistryError[] = "Registry error";
static const char kOpenFailed[] = "Error openning registry key, configuration aborted";

namespace {

// The boxes whose stored value may be kept as it is, with what they showed.
struct ShownValue {
    int id;
    char text[kTextSetting];
};
ShownValue shownValues[16];
int shownCount;

bool ShowsStoredValue(int id, const char *text)
{
    for (int i = 0; i < shownCount; ++i)
        if (shownValues[i].id == id)
            return strcmp(shownValues[i].text, text) == 0;
    return false;
}

struct TextBox {
    int id;
    const char *label;
};
const TextBox kTextBoxes[] = {
    {IDC_MESS_EXE, "MESS executable path"}, {IDC_MESS_SOFTWARE, "MESS software path"},
    {IDC_MESS_BIOS, "MESS BIOS path"},      {IDC_MESS_OPTION, "MESS options"},
    {IDC_MAME_EXE, "MAME executable"},      {IDC_MAME_ROMS, "MAME ROMs path"},
    {IDC_MAME_OPTION, "MAME options"}};

struct TimerBox {
    int id;
    const char *label;
    int32_t lowest, highest;
    const char *range;
};
const TimerBox kTimerBoxes[] = {
    {IDC_TIMER_END_RUN, "Change system every", kShortestTimerInBox, kLongestTimer,
     "a whole number of milliseconds from 1000 (1 second) to 86400000 (24 hours)"},
    {IDC_TIMER_START, "Splash screen lasts", kShortestTimerInBox, kLongestTimer,
     "a whole number of milliseconds from 1000 (1 second) to 86400000 (24 hours)"},
    {IDC_DARK_AFTER, "Go dark after", 0, kLongestDarkAfterMinutes,
     "a whole number of minutes from 0 (never) to 1440 (24 hours)"}};

// The number a timer box holds: digits only (no sign, blank or separator),
// within the box's range.
bool BoxNumber(const char *text, const TimerBox &box, int32_t *value)
{
    long long number = 0;
    if (!text[0])
        return false;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9')
            return false;
        number = number * 10 + (*text - '0');
        if (number > box.highest)
            return false;
    }
    if (number < box.lowest)
        return false;
    *value = static_cast<int32_t>(number);
    return true;
}

bool Refuse(void *dialog, const DialogControls *controls, int id, const char *message)
{
    controls->ShowError(dialog, message, "Quillmere");
    controls->Focus(dialog, id);
    return false;
}

}  // namespace

void RememberShownValue(int id, const char *text)
{
    if (shownCount < static_cast<int>(std::size(shownValues)) &&
        CopyText(shownValues[shownCount].text, kTextSetting, text))
        shownValues[shownCount++].id = id;
}

void ForgetShownValues()
{
    shownCount = 0;
}

bool CheckConfiguration(void *dialog, const DialogControls *controls)
{
    // One byte more than a setting holds shows a text too long for it.
    char text[kTextSetting + 1];
    char message[256];
    for (const TextBox &box : kTextBoxes) {
        controls->GetText(dialog, box.id, text, sizeof text);
        if (strlen(text) >= static_cast<size_t>(kTextSetting)) {
            FormatText(message, sizeof message,
                       "\"%s\" holds more than %d characters: the setting cannot keep it "
                       "whole. Shorten it; nothing was saved.",
                       box.label, kTextSetting - 1);
            return Refuse(dialog, controls, box.id, message);
        }
    }
    for (const TimerBox &box : kTimerBoxes) {
        controls->GetText(dialog, box.id, text, sizeof text);
        int32_t value;
        if (ShowsStoredValue(box.id, text) || BoxNumber(text, box, &value))
            continue;
        FormatText(message, sizeof message, "\"%s\" takes %s. Nothing was saved.", box.label,
                   box.range);
        return Refuse(dialog, controls, box.id, message);
    }
    return true;
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
        if (ShowsStoredValue(control, setting))
            return true;
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

    // The box was checked: it shows the stored value, or a number in range.
    bool Timer(const char *name, int control, int32_t *setting, const char *message)
    {
        char text[kTextSetting];
        controls->GetText(dialog, control, text, sizeof text);
        if (ShowsStoredValue(control, text))
            return true;
        *setting = static_cast<int32_t>(strtol(text, nullptr, 10));
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
