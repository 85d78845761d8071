// The doctor on what the user chooses to see of the arcade games: the game
// list, the category file, how many sampled games each filter leaves out,
// and how many sampled sets MAME itself finds broken.
#include <set>
#include <string>
#include <vector>

#include "check/doctor.h"
#include "config/settings.h"
#include "emulator/choices.h"
#include "emulator/facts.h"
#include "emulator/sets.h"

namespace doctor {

namespace {

void CheckGameList()
{
    const char *topic = "game list";
    if (!MameGameList[0]) {
        Say(Level::Ok, topic, "No game list is set: games are drawn from the whole ROM folder.");
        return;
    }
    std::vector<std::string> names, entries;
    if (!ReadGameList(MameGameList, &names)) {
        Say(Level::Fail, topic,
            Text("%s cannot be read: the saver shows no arcade game; correct %s, or empty it to "
                 "draw from the whole ROM folder.",
                 MameGameList, Setting("MameGameList").c_str()));
        return;
    }
    std::set<std::string> sets;
    if (ListFolder(MameRomsPath, &entries))
        for (const std::string &entry : entries)
            sets.insert(SetName(entry));
    std::vector<std::string> absent;
    for (const std::string &name : names)
        if (!sets.count(name))
            absent.push_back(name);
    std::string counts = Text("%zu of the %s of %s %s in %s", names.size() - absent.size(),
                              Count(names.size(), "name", "names").c_str(), MameGameList,
                              names.size() - absent.size() == 1 ? "is" : "are", MameRomsPath);
    if (absent.size() == names.size())
        Say(Level::Fail, topic,
            Text("%s: the saver has no arcade game to show; put their sets there or list the "
                 "games you have.",
                 counts.c_str()));
    else if (!absent.empty())
        Say(Level::Warn, topic,
            Text("%s (not there: %s); only those are shown.", counts.c_str(), Names(absent).c_str()));
    else
        Say(Level::Ok, topic, counts + ".");
}

// Reads the category file into categories; false when there is none to go by.
bool CheckCategoryFile(Categories *categories)
{
    const char *topic = "categories";
    char path[kTextSetting * 2];
    if (!CategoryFilePath(path, sizeof path)) {
        Say(Level::Ok, topic,
            Text("No category file (catver.ini beside %s or in its folders subfolder, or %s): no "
                 "game is skipped for its category.",
                 MamePath, Setting("MameCategoryFile").c_str()));
        return false;
    }
    if (!ReadCategories(path, categories)) {
        Say(Level::Fail, topic,
            Text("%s cannot be read: correct %s, or empty it to use the catver.ini beside MAME.",
                 path, Setting("MameCategoryFile").c_str()));
        return false;
    }
    if (categories->empty()) {
        Say(Level::Warn, topic,
            Text("%s names no game in a [Category] section: no game is skipped for its "
                 "category; take a catver.ini made for your MAME version.",
                 path));
        return false;
    }
    size_t skipped = 0;
    for (const auto &game : *categories)
        skipped += CategoryMatches(game.second, MameSkipCategories) ? 1 : 0;
    Say(Level::Ok, topic,
        Text("%s gives the category of %s; %zu of them %s skipped (%s: %s).", path,
             Count(categories->size(), "game", "games").c_str(), skipped, skipped == 1 ? "is" : "are",
             Setting("MameSkipCategories").c_str(), MameSkipCategories[0] ? MameSkipCategories : "none"));
    return true;
}

}   // namespace

void CheckChoices(const Emulator &mame, const RomSample &roms)
{
    if (!mame.configured || !MameRomsPath[0])
        return;
    CheckGameList();
    Categories categories;
    bool byCategory = CheckCategoryFile(&categories);
    if (!mame.works)
        return;

    // What each filter leaves out of the sampled games MAME can launch.
    size_t launchable = 0, noScreen = 0, mechanical = 0, notWorking = 0, noDisk = 0, clones = 0,
           inCategory = 0;
    std::vector<size_t> left;
    Clock::time_point deadline = TopicDeadline();
    for (size_t i = 0; i < roms.names.size(); ++i) {
        MachineFacts facts;
        if (roms.names[i].empty() || FactsInTime(mame, roms.names[i], deadline, &facts) != 1 ||
            !IsRunnableMachine(facts))
            continue;
        ++launchable;
        auto category = categories.find(roms.names[i]);
        bool out = false;
        for (auto [filtered, count] :
             {std::pair<bool, size_t *>{!facts.screen, &noScreen},
              {facts.mechanical, &mechanical},
              {!MameShowNotWorking && facts.preliminary, &notWorking},
              {!DisksPresent(facts, MameRomsPath, roms.names[i].c_str()), &noDisk},
              {MameParentsOnly && !facts.cloneOf.empty(), &clones},
              {byCategory && category != categories.end() &&
                   CategoryMatches(category->second, MameSkipCategories),
               &inCategory}}) {
            *count += filtered ? 1 : 0;
            out = out || filtered;
        }
        if (!out)
            left.push_back(i);
    }
    if (launchable == 0)
        return;
    std::string filters =
        Text("Of %s MAME can launch, the filters leave out %zu without a screen, %zu mechanical, "
             "%zu not working yet%s, %zu missing a disk, %zu %s and %zu in skipped categories",
             Count(launchable, "sampled game", "sampled games").c_str(), noScreen, mechanical,
             notWorking, MameShowNotWorking ? " (they are shown)" : "", noDisk, clones,
             MameParentsOnly ? "clones" : "clones (clones are shown)", inCategory);
    if (left.empty()) {
        Say(Level::Fail, "filters",
            Text("%s: none is left to show; put other sets in %s or choose less strictly.",
                 filters.c_str(), MameRomsPath));
        return;
    }
    Say(Level::Ok, "filters",
        Text("%s: %zu %s left to show.", filters.c_str(), left.size(), left.size() == 1 ? "is" : "are"));

    // Which of those MAME finds broken: the saver never launches them.
    size_t checked = 0, broken = 0;
    deadline = TopicDeadline();
    for (size_t i : left) {
        if (Clock::now() > deadline)
            break;
        int verdict = VerifyRomSet(MamePath, MameExe, MameRomsPath, roms.entries[i].c_str(),
                                   roms.names[i].c_str());
        checked += verdict >= 0 ? 1 : 0;
        broken += verdict == 0 ? 1 : 0;
    }
    std::string sentence =
        Text("%zu of %zu sampled sets %s broken or incomplete for this MAME%s", broken, checked,
             broken == 1 ? "is" : "are",
             checked < left.size() ? Text(" (%zu not checked yet: the next doctor run goes on)",
                                          left.size() - checked).c_str()
                                   : "");
    if (checked > 0 && broken == checked)
        Say(Level::Fail, "sets",
            sentence + ": the saver launches none of them; put sets made for this MAME version "
                       "there (-verifyroms tells which).");
    else if (broken > 0)
        Say(Level::Warn, "sets", sentence + ": the saver passes them over.");
    else
        Say(Level::Ok, "sets", sentence + ".");
}

}   // namespace doctor
