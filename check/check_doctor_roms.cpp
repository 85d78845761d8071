// The doctor on the ROM folder and the artwork.
#include <string>
#include <vector>

#include "artwork/lookup.h"
#include "base/names.h"
#include "check/doctor.h"
#include "config/mame_ini.h"
#include "config/settings.h"
#include "emulator/choose.h"
#include "emulator/facts.h"

namespace doctor {

RomSample CheckRomFolder(const Emulator &mame)
{
    const char *topic = "ROM folder";
    RomSample sample;
    if (!MameRomsPath[0] && !MessSoftwarePath[0]) {
        Say(Level::Fail, topic,
            Text("Neither a ROM folder nor a software folder is set: the saver has nothing to "
                 "show; set %s, or %s.",
                 Setting("MameRomsPath").c_str(), Setting("MessSoftwarePath").c_str()));
        return sample;
    }
    if (!mame.configured)
        return sample;
    if (!MameRomsPath[0]) {
        Say(Level::Warn, topic,
            Text("No ROM folder is set: the saver shows no arcade games; set %s to the folder "
                 "of your game sets.",
                 Setting("MameRomsPath").c_str()));
        return sample;
    }
    std::vector<std::string> entries;
    if (!ListFolder(MameRomsPath, &entries)) {
        Say(Level::Fail, topic,
            Text("%s cannot be opened: set %s to the folder of your game sets.", MameRomsPath,
                 Setting("MameRomsPath").c_str()));
        return sample;
    }
    sample.total = entries.size();
    if (entries.empty()) {
        Say(Level::Fail, topic,
            Text("%s is empty: put your game sets (.zip, .7z or folders) there.", MameRomsPath));
        return sample;
    }
    for (size_t i : Sample(entries.size())) {
        sample.entries.push_back(entries[i]);
        sample.names.push_back(SetName(entries[i]));
    }
    sample.parents.assign(sample.names.size(), "");
    if (!mame.works) {
        Say(Level::Warn, topic,
            Text("%s holds %zu entries; without a working MAME executable none can be checked.",
                 MameRomsPath, entries.size()));
        return sample;
    }
    size_t checked = 0, runnable = 0, bios = 0, device = 0;
    std::vector<std::string> unknown;
    Clock::time_point deadline = TopicDeadline();
    for (size_t i = 0; i < sample.names.size(); ++i) {
        MachineFacts facts;
        int found = sample.names[i].empty() ? 0 : FactsInTime(mame, sample.names[i], deadline, &facts);
        if (found < 0)
            break;
        ++checked;
        if (found)
            sample.parents[i] = facts.cloneOf;
        if (!found || !facts.known)
            unknown.push_back(sample.names[i].empty() ? "a name that is no driver name"
                                                      : sample.names[i]);
        else if (facts.bios)
            ++bios;
        else if (facts.device)
            ++device;
        else if (IsRunnableMachine(facts))
            ++runnable;
        else
            unknown.push_back(sample.names[i] + " (not runnable)");
    }
    std::string counts =
        Text("%s%s: %zu can be launched, %s, %s, %zu unknown to this MAME",
             Count(entries.size(), "entry", "entries").c_str(),
             SampleNote(checked, entries.size(), "entries").c_str(), runnable,
             Count(bios, "BIOS set", "BIOS sets").c_str(),
             Count(device, "device", "devices").c_str(), unknown.size());
    if (checked < sample.names.size())
        counts += Text(" (MAME answered slowly: %zu of the sample were not asked yet; the next "
                       "doctor run asks them, as the answers so far are remembered)",
                       sample.names.size() - checked);
    if (runnable == 0)
        Say(Level::Fail, topic,
            Text("%s holds %s%s. The saver skips BIOS sets, devices and unknown names: put game "
                 "sets for this MAME version there.",
                 MameRomsPath, counts.c_str(),
                 unknown.empty() ? "" : (" (" + Names(unknown) + ")").c_str()));
    else if (!unknown.empty())
        Say(Level::Warn, topic,
            Text("%s holds %s (%s). The saver skips unknown names: they may be sets of another "
                 "MAME version.",
                 MameRomsPath, counts.c_str(), Names(unknown).c_str()));
    else
        Say(Level::Ok, topic, Text("%s holds %s.", MameRomsPath, counts.c_str()));
    return sample;
}

namespace {

// The places an emulator's pictures are looked up in, comma-separated.
std::string PlacesOf(const char *emulatorFolder)
{
    std::string text;
    for (const std::string &place : ArtworkPlaces(emulatorFolder))
        text += (text.empty() ? "" : ", ") + place;
    return text;
}

// Where to put pictures: the first place that is the user's own, never a
// system folder such as /usr/games that only packages fill.
std::string PutThem(const char *emulatorFolder, const char *what)
{
    for (const std::string &place : ArtworkPlaces(emulatorFolder))
        if (!IsSystemFolder(place.c_str()))
            return Text("put %s in %s", what, place.c_str());
    return Text("name a folder of yours as snapshot_directory (its last part \"snap\") or "
                "artpath in MAME's mame.ini and put %s there",
                what);
}

}   // namespace

// The share of sampled ROM entries (and software systems) with a picture,
// looked up as the splash looks it up, a clone under its parent too.
void CheckArtwork(const Emulator &mame, const RomSample &roms, const Emulator &mess,
                  const std::vector<SystemFolder> &systems)
{
    const char *topic = "artwork";
    const char *where = "(snap, titles, flyers, cabinets, cpanel, marquees, pcb folders, or "
                        "their .zip packs)";
    char path[kPicturePathBytes];
    int mode = 0;
    if (mame.configured && !roms.names.empty()) {
        size_t found = 0;
        for (size_t i = 0; i < roms.names.size(); ++i)
            found += !roms.names[i].empty() &&
                     GetMAMEPictureFor(path, roms.names[i].c_str(), roms.parents[i].c_str(), &mode);
        int share = static_cast<int>(found * 100 / roms.names.size());
        std::string sampled = roms.names.size() < roms.total
                                  ? Text(", sampled from %zu entries", roms.total)
                                  : "";
        std::string sentence =
            Text("%d %% of the ROM entries (%zu of %zu%s) have a picture under %s %s", share, found,
                 roms.names.size(), sampled.c_str(), PlacesOf(MamePath).c_str(), where);
        if (found)
            Say(Level::Ok, topic, sentence + ".");
        else
            Say(Level::Warn, topic,
                sentence + ": the splash shows no picture; " +
                    PutThem(MamePath, "MAME's snap folder or the artwork packs (snap.zip, "
                                      "titles.zip, ...)") +
                    ".");
    }
    if (mess.configured && !systems.empty()) {
        std::vector<std::string> without;
        for (const SystemFolder &system : systems)
            if (!GetMESSPictureFor(path, system.name.c_str(), system.facts.cloneOf.c_str(), "",
                                   &mode))
                without.push_back(system.name);
        std::string sentence =
            Text("%zu of %zu software systems have a picture under %s %s", systems.size() -
                 without.size(), systems.size(), PlacesOf(MessPath).c_str(), where);
        if (without.empty())
            Say(Level::Ok, topic, sentence + ".");
        else
            Say(Level::Warn, topic,
                sentence + Text(": none for %s; ", Names(without).c_str()) +
                    PutThem(MessPath, "snap\\SYSTEM\\*.png or the artwork packs") + ".");
    }
    if ((mame.configured || mess.configured) && roms.names.empty() && systems.empty())
        Say(Level::Warn, topic, "No ROM entry or software system could be checked for pictures.");
}

}   // namespace doctor
