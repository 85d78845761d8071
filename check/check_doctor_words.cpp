// The doctor's findings and the words they are made of.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/format.h"
#include "base/names.h"
#include "base/random.h"
#include "check/check.h"
#include "check/doctor.h"
#include "config/settings.h"
#include "config/settings_file.h"
#include "emulator/choose.h"
#include "emulator/facts.h"

namespace doctor {

bool anyFailed = false;

std::string Text(const char *format, ...)
{
    char buffer[4096];
    va_list arguments;
    va_start(arguments, format);
#ifdef _WIN32
    __mingw_vsnprintf(buffer, sizeof buffer, format, arguments);
#else
    vsnprintf(buffer, sizeof buffer, format, arguments);
#endif
    va_end(arguments);
    return buffer;
}

void Say(Level level, const char *topic, const std::string &sentence)
{
    std::string line = AsShown(sentence.c_str());
    for (char &c : line)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    anyFailed = anyFailed || level == Level::Fail;
    printf("%s\t%s\t%s\n", level == Level::Ok ? "ok" : level == Level::Warn ? "warn" : "fail", topic,
           line.c_str());
    fflush(stdout);
}

bool ListFolder(const char *folder, std::vector<std::string> *names)
{
    DIR *dir = OpenFolder(folder);
    if (!dir)
        return false;
    while (dirent *item = readdir(dir))
        if (strcmp(item->d_name, ".") != 0 && strcmp(item->d_name, "..") != 0)
            names->push_back(item->d_name);
    closedir(dir);
    return true;
}

bool IsFolder(const std::string &path)
{
    DIR *dir = OpenFolder(path.c_str());
    if (dir)
        closedir(dir);
    return dir != nullptr;
}

std::vector<size_t> Sample(size_t count)
{
    std::vector<size_t> order(count);
    for (size_t i = 0; i < count; ++i)
        order[i] = i;
    size_t wanted = count < kSampleSize ? count : kSampleSize;
    if (wanted == count)
        return order;
    for (size_t i = 0; i < wanted; ++i) {
        // Two draws make a number large enough for any folder.
        size_t draw = static_cast<size_t>(RandomDraw()) * (kRandomMax + 1) + RandomDraw();
        std::swap(order[i], order[i + draw % (count - i)]);
    }
    order.resize(wanted);
    return order;
}

std::string SampleNote(size_t checked, size_t total, const char *what)
{
    return checked < total ? Text(" (sampled %zu of %zu %s)", checked, total, what) : "";
}

std::string Count(size_t n, const char *one, const char *more)
{
    return Text("%zu %s", n, n == 1 ? one : more);
}

std::string Names(const std::vector<std::string> &names)
{
    std::string text;
    for (size_t i = 0; i < names.size() && i < kNamesShown; ++i)
        text += (i ? ", " : "") + names[i];
    return names.size() > kNamesShown ? text + ", ..." : text;
}

std::string SetName(const std::string &entry)
{
    char name[kTextSetting];
    return CopyText(name, sizeof name, entry.c_str()) && RomEntryToDriverName(name) ? name : "";
}

int FactsInTime(const Emulator &emulator, const std::string &name, Clock::time_point deadline,
                MachineFacts *facts)
{
    if (Clock::now() > deadline)
        return -1;
    return GetMachineFacts(emulator.folder, emulator.exe, name.c_str(), facts, nullptr) ? 1 : 0;
}

Clock::time_point TopicDeadline()
{
    return Clock::now() + std::chrono::milliseconds(kTopicQueryMs);
}

std::string Where()
{
#ifdef _WIN32
    if (CurrentSettingsStore() != SettingsFileStore())
        return "the settings key HKEY_CURRENT_USER\\Software\\Quillmere";
#endif
    return Text("the settings file %s", SettingsFile());
}

std::string Setting(const char *value)
{
#ifdef _WIN32
    // The configuration dialog's labels, as the user sees them there.
    static const struct {
        const char *value, *label;
    } kBoxes[] = {{"MessPath", "MESS executable path"},
                  {"MessSoftwarePath", "MESS software path"},
                  {"MessBiosPath", "MESS BIOS path"},
                  {"MessOption", "MESS options"},
                  {"MamePath", "MAME executable"},
                  {"MameRomsPath", "MAME ROMs path"},
                  {"MameOption", "MAME options"},
                  {"SystemChangeTimer", "Change system every"},
                  {"SplashScreenTimer", "Splash screen lasts"},
                  {"DarkAfterMinutes", "Go dark after"},
                  {"MameCheckOnlyPerfect", "Run only perfect emulation"},
                  {"MameGameList", "Choices... > Games to draw from"},
                  {"MameCategoryFile", "Choices... > Category file"},
                  {"MameSkipCategories", "Choices... > Skip the games of these categories"},
                  {"SystemsList", "List of systems allowed to be run"}};
    if (CurrentSettingsStore() != SettingsFileStore()) {
        for (const auto &box : kBoxes)
            if (strcmp(box.value, value) == 0)
                return Text("\"%s\" in the screen saver's settings", box.label);
        return Text("the registry value %s of HKEY_CURRENT_USER\\Software\\Quillmere", value);
    }
#endif
    return Text("%s in the settings file %s", value, SettingsFile());
}

void SayHeldKeys(const std::vector<std::string> &held, const std::string &why)
{
    if (held.empty()) {
        Say(Level::Ok, "hot keys", "Escape, Pause and Backspace are free for the saver.");
        return;
    }
    bool one = held.size() == 1;
    Say(Level::Warn, "hot keys",
        Text("%s %s held by another program (%s): while an emulator has the keyboard, %s the "
             "saver; end a session with a key press on its splash, or free the key in the "
             "program that holds it.",
             Names(held).c_str(), one ? "is" : "are", why.c_str(),
             one ? "it does not reach" : "they do not reach"));
}

}   // namespace doctor
