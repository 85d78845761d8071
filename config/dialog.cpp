#include "config/dialog.h"

#include <cstring>

#include "base/format.h"
#include "config/settings.h"
#include "config/systems.h"

static void ApplyOpeningDefaults()
{
    if (!MessOption[0])
        CopyText(MessOption, kTextSetting, kMessDefaultOption);
    if (!MameOption[0])
        CopyText(MameOption, kTextSetting, kMameDefaultOption);
    if (TimerEndRun == 0)
        TimerEndRun = kDefaultTimerEndRun;
    if (TimerStart == 0)
        TimerStart = kDefaultTimerStart;
    if (TimerStarting == 0)
        TimerStarting = kDefaultTimerStarting;
    if (TimerPoll == 0)
        TimerPoll = kDefaultTimerPoll;
}

void OpenConfiguration(void *dialog, const DialogControls *controls)
{
    static const struct {
        int id;
        const char *name;
    } kStoredBoxes[] = {{IDC_MESS_EXE, "MessPath"},          {IDC_MESS_SOFTWARE, "MessSoftwarePath"},
                        {IDC_MESS_BIOS, "MessBiosPath"},     {IDC_MESS_OPTION, "MessOption"},
                        {IDC_MAME_EXE, "MamePath"},          {IDC_MAME_ROMS, "MameRomsPath"},
                        {IDC_MAME_OPTION, "MameOption"},     {IDC_TIMER_END_RUN, "SystemChangeTimer"},
                        {IDC_TIMER_START, "SplashScreenTimer"}, {IDC_DARK_AFTER, "DarkAfterMinutes"}};

    // Without a key the dialog simply starts from its defaults.
    ReadConfigurationInRegistry();
    // An option stored empty shows, and is saved as, its default.
    bool messOptionShown = MessOption[0] != '\0', mameOptionShown = MameOption[0] != '\0';
    ApplyOpeningDefaults();
    DisplayConfiguration(dialog, controls);
    ForgetShownValues();
    for (const auto &box : kStoredBoxes) {
        if (!SettingWasStored(box.name) || (box.id == IDC_MESS_OPTION && !messOptionShown) ||
            (box.id == IDC_MAME_OPTION && !mameOptionShown))
            continue;
        char text[kTextSetting];
        controls->GetText(dialog, box.id, text, sizeof text);
        RememberShownValue(box.id, text);
    }
}

// The executable's full path, rebuilt from the folder and the file name. A
// stored path that could not be split (a bare name) is shown as it was
// stored: a separator added here would be saved, and grow with every save.
static void ShowExecutable(void *dialog, const DialogControls *controls, int id,
                           const char *folder, const char *exe)
{
    char path[kTextSetting] = "";
    if (folder[0] && exe[0])
        FormatText(path, sizeof path, "%s\\%s", folder, exe);
    else
        CopyText(path, sizeof path, folder);
    controls->SetText(dialog, id, path);
}

static void ShowNumber(void *dialog, const DialogControls *controls, int id, int32_t value)
{
    char text[16];
    FormatText(text, sizeof text, "%d", static_cast<int>(value));
    controls->SetText(dialog, id, text);
}

void DisplayConfiguration(void *dialog, const DialogControls *controls)
{
    ShowExecutable(dialog, controls, IDC_MESS_EXE, MessPath, MessExe);
    controls->SetText(dialog, IDC_MESS_SOFTWARE, MessSoftwarePath);
    controls->SetText(dialog, IDC_MESS_BIOS, MessBiosPath);
    controls->SetText(dialog, IDC_MESS_OPTION, MessOption);
    for (int i = 0; i < Number_of_machine; ++i) {
        char line[1024];
        if (FormatText(line, sizeof line, "%s %s", AvailableMachine[i].Name,
                       AvailableMachine[i].Extension))
            controls->ListAdd(dialog, IDC_SYSTEMS_LIST, line);
    }
    ShowExecutable(dialog, controls, IDC_MAME_EXE, MamePath, MameExe);
    controls->SetText(dialog, IDC_MAME_ROMS, MameRomsPath);
    controls->SetText(dialog, IDC_MAME_OPTION, MameOption);
    // Any non-zero value means "perfect drivers only" to the session.
    controls->SetCheck(dialog, IDC_ONLY_PERFECT, MameCheckOnlyPerfect != 0 ? 1 : 0);
    ShowNumber(dialog, controls, IDC_TIMER_END_RUN, TimerEndRun);
    ShowNumber(dialog, controls, IDC_TIMER_START, TimerStart);
    ShowNumber(dialog, controls, IDC_DARK_AFTER, DarkAfterMinutes);
}

static void AddNamedSystem(void *dialog, const DialogControls *controls)
{
    char name[1024];
    controls->GetText(dialog, IDC_SYSTEM_NAME, name, sizeof name);
    if (!name[0]) {
        controls->ShowError(dialog, "Enter a system name (driver name)", "No system name error");
        return;
    }
    AddSystemToList(dialog, controls, name);
}

// Deletes the selected line and selects the line that took its place, or the
// new last line when the last one went.
static void DeleteSelectedLine(void *dialog, const DialogControls *controls)
{
    int selected = controls->ListGetSelection(dialog, IDC_SYSTEMS_LIST);
    if (selected == kListError)
        return;
    int left = controls->ListDelete(dialog, IDC_SYSTEMS_LIST, selected);
    if (left == kListError || left == 0)
        return;
    controls->ListSelect(dialog, IDC_SYSTEMS_LIST, selected < left ? selected : selected - 1);
}

static void SetDefaultOption(void *dialog, const DialogControls *controls, char *setting,
                             const char *text, int id)
{
    CopyText(setting, kTextSetting, text);
    controls->SetText(dialog, id, setting);
}

// A folder beside the executable: folder + suffix into setting and its box.
// A path too long for the setting leaves the box as it was.
static void ShowDerivedFolder(void *dialog, const DialogControls *controls, const char *folder,
                              const char *suffix, char *setting, int id)
{
    char derived[kTextSetting];
    if (!FormatText(derived, sizeof derived, "%s%s", folder, suffix))
        return;
    CopyText(setting, kTextSetting, derived);
    controls->SetText(dialog, id, setting);
}

static void BrowseExecutable(void *dialog, const DialogControls *controls,
                             const DialogPrompts *prompts, bool forMame)
{
    char *folder = forMame ? MamePath : MessPath;
    char *exe = forMame ? MameExe : MessExe;
    int box = forMame ? IDC_MAME_EXE : IDC_MESS_EXE;

    // The box's text is the open-file dialog's initial file name.
    controls->GetText(dialog, box, folder, kTextSetting);
    if (!prompts || !prompts->ChooseExecutable ||
        !prompts->ChooseExecutable(dialog, forMame, folder, kTextSetting))
        return;
    controls->SetText(dialog, box, folder);
    SplitExecutablePath(folder, exe);
    if (forMame) {
        ShowDerivedFolder(dialog, controls, folder, "\\roms", MameRomsPath, IDC_MAME_ROMS);
    } else {
        ShowDerivedFolder(dialog, controls, folder, "\\software", MessSoftwarePath,
                          IDC_MESS_SOFTWARE);
        ShowDerivedFolder(dialog, controls, folder, "\\roms", MessBiosPath, IDC_MESS_BIOS);
    }
}

// The folder picker starts at the box's folder; the chosen one replaces it.
static void BrowseFolder(void *dialog, const DialogControls *controls,
                         const DialogPrompts *prompts, int box, const char *title)
{
    char path[kTextSetting];
    controls->GetText(dialog, box, path, sizeof path);
    if (prompts && prompts->ChooseFolder && prompts->ChooseFolder(dialog, title, path, sizeof path))
        controls->SetText(dialog, box, path);
}

void ConfigurationCommand(void *dialog, const DialogControls *controls,
                          const DialogPrompts *prompts, int id)
{
    switch (id) {
    case IDC_FILL_SYSTEMS:
        AddAllSystemToList(dialog, controls);
        break;
    case IDC_ADD_SYSTEM:
        AddNamedSystem(dialog, controls);
        break;
    case IDC_DELETE_SELECTED:
        DeleteSelectedLine(dialog, controls);
        break;
    case IDC_RESET_LIST:
        controls->ListReset(dialog, IDC_SYSTEMS_LIST);
        break;
    case IDC_ABOUT:
        if (prompts && prompts->ShowAbout)
            prompts->ShowAbout(dialog);
        break;
    case IDC_MESS_DEFAULT:
        SetDefaultOption(dialog, controls, MessOption, kMessDefaultOption, IDC_MESS_OPTION);
        break;
    case IDC_MAME_DEFAULT:
        SetDefaultOption(dialog, controls, MameOption, kMameDefaultOption, IDC_MAME_OPTION);
        break;
    case IDC_MESS_BROWSE:
        BrowseExecutable(dialog, controls, prompts, false);
        break;
    case IDC_MAME_BROWSE:
        BrowseExecutable(dialog, controls, prompts, true);
        break;
    case IDC_MESS_SOFTWARE_BROWSE:
        BrowseFolder(dialog, controls, prompts, IDC_MESS_SOFTWARE, "MESS software folder");
        break;
    case IDC_MESS_BIOS_BROWSE:
        BrowseFolder(dialog, controls, prompts, IDC_MESS_BIOS, "MESS BIOS folder");
        break;
    case IDC_MAME_ROMS_BROWSE:
        BrowseFolder(dialog, controls, prompts, IDC_MAME_ROMS, "MAME ROMs folder");
        break;
    case IDC_OK:
    case kIdOk:
        // A refused box keeps the dialog open with the focus on it.
        if (!CheckConfiguration(dialog, controls))
            break;
        // A failed save has shown its message and ended the dialog already.
        SaveConfigToRegistry(dialog, controls);
        controls->EndDialog(dialog, 1);
        break;
    case IDC_CANCEL:
    case kIdCancel:
        controls->EndDialog(dialog, 1);
        break;
    default:
        break;
    }
}
