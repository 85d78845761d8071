#include "config/choices_dialog.h"

#include <cstring>
#include <string>

#include "base/format.h"
#include "config/settings.h"

const char *const kSoundLevelNames[kSoundLevels] = {"normal", "quiet", "very quiet", "off"};

namespace {

// Shown one a line, stored ';'-separated: "Mature;Quiz" and "Mature\r\nQuiz"
// are the same list.
std::string LinesOf(const char *categories)
{
    std::string lines;
    for (const char *p = categories; *p; ++p)
        lines += *p == ';' ? std::string("\r\n") : std::string(1, *p);
    return lines;
}

void StoredFrom(const char *lines, char *categories, size_t size)
{
    std::string stored, part;
    for (const char *p = lines;; ++p) {
        if (*p && *p != ';' && *p != '\r' && *p != '\n') {
            part += *p;
            continue;
        }
        size_t first = part.find_first_not_of(" \t"), last = part.find_last_not_of(" \t");
        if (first != std::string::npos)
            stored += (stored.empty() ? "" : ";") + part.substr(first, last - first + 1);
        part.clear();
        if (!*p)
            break;
    }
    if (!CopyText(categories, size, stored.c_str()))
        categories[0] = '\0';
}

void Browse(void *dialog, const DialogControls *controls, const ChoicesPrompts *prompts,
            bool forCategories)
{
    int box = forCategories ? IDC_CATEGORY_FILE : IDC_GAME_LIST;
    char path[kTextSetting];
    controls->GetText(dialog, box, path, sizeof path);
    if (prompts && prompts->ChooseFile && prompts->ChooseFile(dialog, forCategories, path, sizeof path))
        controls->SetText(dialog, box, path);
}

bool Write(void *key, const char *name, unsigned long type, const void *data, unsigned long size,
           void *dialog, const DialogControls *controls)
{
    if (CurrentSettingsStore()->Set(key, name, type, data, size) == 0)
        return true;
    char message[128];
    FormatText(message, sizeof message, "Error while writing %s to registry", name);
    controls->ShowError(dialog, message, "Registry error");
    return false;
}

}   // namespace

int SoundLevelOf(int soundVolume)
{
    if (soundVolume <= 0)
        return 0;
    if (soundVolume >= kSoundOff)
        return 3;
    return soundVolume <= 15 ? 1 : 2;
}

void OpenChoices(void *dialog, const DialogControls *controls)
{
    controls->SetText(dialog, IDC_GAME_LIST, MameGameList);
    controls->SetText(dialog, IDC_CATEGORY_FILE, MameCategoryFile);
    controls->SetText(dialog, IDC_SKIP_CATEGORIES, LinesOf(MameSkipCategories).c_str());
    controls->SetCheck(dialog, IDC_PARENTS_ONLY, MameParentsOnly != 0 ? 1 : 0);
    controls->SetCheck(dialog, IDC_SHOW_NOT_WORKING, MameShowNotWorking != 0 ? 1 : 0);
    for (const char *level : kSoundLevelNames)
        controls->ListAdd(dialog, IDC_SOUND_LEVEL, level);
    controls->ListSelect(dialog, IDC_SOUND_LEVEL, SoundLevelOf(SoundVolume));
}

bool SaveChoices(void *dialog, const DialogControls *controls)
{
    char lines[kTextSetting * 4];
    controls->GetText(dialog, IDC_GAME_LIST, MameGameList, kTextSetting);
    controls->GetText(dialog, IDC_CATEGORY_FILE, MameCategoryFile, kTextSetting);
    controls->GetText(dialog, IDC_SKIP_CATEGORIES, lines, sizeof lines);
    StoredFrom(lines, MameSkipCategories, kTextSetting);
    MameParentsOnly = controls->GetCheck(dialog, IDC_PARENTS_ONLY) == 1 ? 1 : 0;
    MameShowNotWorking = controls->GetCheck(dialog, IDC_SHOW_NOT_WORKING) == 1 ? 1 : 0;
    // A level typed into the registry by hand stays unless another is chosen.
    int level = controls->ListGetSelection(dialog, IDC_SOUND_LEVEL);
    if (level >= 0 && level < kSoundLevels && level != SoundLevelOf(SoundVolume))
        SoundVolume = kSoundLevelVolumes[level];

    const SettingsStore *store = CurrentSettingsStore();
    void *key = nullptr;
    if (store->Open(true, &key) != 0) {
        controls->ShowError(dialog, "Error openning registry key, configuration aborted",
                            "Registry error");
        return false;
    }
    const struct {
        const char *name;
        const char *text;
    } texts[] = {{"MameGameList", MameGameList},
                 {"MameCategoryFile", MameCategoryFile},
                 {"MameSkipCategories", MameSkipCategories}};
    const struct {
        const char *name;
        int32_t value;
    } numbers[] = {{"MameParentsOnly", MameParentsOnly},
                   {"MameShowNotWorking", MameShowNotWorking},
                   {"SoundVolume", SoundVolume}};
    bool written = true;
    for (const auto &text : texts)
        written = written && Write(key, text.name, kRegSz, text.text,
                                   static_cast<unsigned long>(strlen(text.text)) + 1, dialog,
                                   controls);
    for (const auto &number : numbers) {
        unsigned char bytes[4] = {static_cast<unsigned char>(number.value),
                                  static_cast<unsigned char>(number.value >> 8),
                                  static_cast<unsigned char>(number.value >> 16),
                                  static_cast<unsigned char>(number.value >> 24)};
        written = written && Write(key, number.name, kRegDword, bytes, sizeof bytes, dialog,
                                   controls);
    }
    store->Close(key);
    return written;
}

void ChoicesCommand(void *dialog, const DialogControls *controls, const ChoicesPrompts *prompts,
                    int id)
{
    switch (id) {
    case IDC_GAME_LIST_BROWSE:
        Browse(dialog, controls, prompts, false);
        break;
    case IDC_CATEGORY_BROWSE:
        Browse(dialog, controls, prompts, true);
        break;
    case IDC_SKIP_DEFAULT:
        controls->SetText(dialog, IDC_SKIP_CATEGORIES, LinesOf(kDefaultSkipCategories).c_str());
        break;
    case IDC_CHOICES_OK:
        // A failed save has shown its message; the dialog ends either way.
        SaveChoices(dialog, controls);
        controls->EndDialog(dialog, 1);
        break;
    case IDC_CHOICES_CANCEL:
        controls->EndDialog(dialog, 0);
        break;
    default:
        break;
    }
}
