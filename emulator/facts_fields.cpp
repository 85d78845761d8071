#include "emulator/facts_fields.h"

#include "base/names.h"

void WriteField(FILE *file, const std::string &text)
{
    fputc('\t', file);
    for (unsigned char c : text) {
        if (c < 32 || c == 127 || c == '%')
            fprintf(file, "%%%02X", c);
        else
            fputc(c, file);
    }
}

void WriteNumber(FILE *file, uint64_t number)
{
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number);
    fputc('\t', file);
    while (n > 0)
        fputc(digits[--n], file);
}

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool SplitLine(const char *line, std::vector<std::string> *fields)
{
    fields->assign(1, std::string());
    for (const char *p = line; *p; ++p) {
        if (*p == '\t') {
            fields->emplace_back();
        } else if (*p == '%') {
            int high = HexDigit(p[1]);
            int low = high < 0 ? -1 : HexDigit(p[2]);
            if (low < 0)
                return false;
            fields->back() += static_cast<char>(high * 16 + low);
            p += 2;
        } else {
            fields->back() += *p;
        }
    }
    return true;
}

bool ParseNumber(const std::string &text, uint64_t limit, uint64_t *number)
{
    if (text.empty() || text.size() > 20)
        return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > (UINT64_MAX - 9) / 10)
            return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > limit)
        return false;
    *number = value;
    return true;
}

bool ParseFlag(const std::string &text, bool *flag)
{
    if (text != "0" && text != "1")
        return false;
    *flag = text == "1";
    return true;
}

namespace {

// Limits of what goes into the file; longer texts stay in memory only.
const size_t kFileNameBytes = 64;            // driver names, as a machine buffer holds them
const size_t kFileTextBytes = 1024;          // description and year
const size_t kFileDeviceBytes = 128;
const size_t kFileDeviceValues = 128;

}   // namespace

bool FitsInFile(const std::string &name, const MachineFacts &facts)
{
    if (name.size() >= kFileNameBytes || facts.cloneOf.size() >= kFileNameBytes ||
        facts.romOf.size() >= kFileNameBytes || facts.description.size() >= kFileTextBytes ||
        facts.year.size() >= kFileTextBytes || facts.devices.size() > kFileDeviceValues ||
        facts.disks.size() > kFileDeviceValues)
        return false;
    for (const DeviceValue &entry : facts.devices)
        if (entry.device.size() >= kFileDeviceBytes)
            return false;
    for (const std::string &disk : facts.disks)
        if (disk.size() >= kFileDeviceBytes)
            return false;
    return true;
}

// m, name, known, bios, device, runnable, cloneof, verdict, info,
// description written, description, year written, year, value count, then
// for each value: the value, usable, the device; then romof, screen,
// mechanical, preliminary, disk count and each disk's name.
static const size_t kMachineFields = 14;
static const size_t kShowFields = 5;

void WriteMachine(FILE *file, const std::string &name, const MachineFacts &facts)
{
    fputc('m', file);
    WriteField(file, name);
    for (bool flag : {facts.known, facts.bios, facts.device, facts.runnable})
        WriteNumber(file, flag);
    WriteField(file, facts.cloneOf);
    WriteNumber(file, static_cast<uint64_t>(facts.driverVerdict));
    WriteNumber(file, static_cast<uint64_t>(facts.infoFound));
    WriteNumber(file, facts.descriptionWritten);
    WriteField(file, facts.description);
    WriteNumber(file, facts.yearWritten);
    WriteField(file, facts.year);
    WriteNumber(file, facts.devices.size());
    for (const DeviceValue &entry : facts.devices) {
        WriteField(file, entry.value);
        WriteNumber(file, entry.usable);
        WriteField(file, entry.device);
    }
    WriteField(file, facts.romOf);
    for (bool flag : {facts.screen, facts.mechanical, facts.preliminary})
        WriteNumber(file, flag);
    WriteNumber(file, facts.disks.size());
    for (const std::string &disk : facts.disks)
        WriteField(file, disk);
    fputc('\n', file);
}

bool ParseMachine(const std::vector<std::string> &f, std::string *name, MachineFacts *facts)
{
    uint64_t verdict, info, count, disks;
    size_t show = 0;   // where the fields after the devices start
    if (f.size() < kMachineFields || !ParseNumber(f[13], kFileDeviceValues, &count) ||
        f.size() < (show = kMachineFields + 3 * count) + kShowFields ||
        !ParseNumber(f[show + 4], kFileDeviceValues, &disks) ||
        f.size() != show + kShowFields + disks || !IsPlainName(f[1].c_str()) ||
        f[1].size() >= kFileNameBytes || !ParseFlag(f[2], &facts->known) ||
        !ParseFlag(f[3], &facts->bios) || !ParseFlag(f[4], &facts->device) ||
        !ParseFlag(f[5], &facts->runnable) || f[6].size() >= kFileNameBytes ||
        (!f[6].empty() && !IsPlainName(f[6].c_str())) ||   // cloneof reaches picture paths
        !ParseNumber(f[7], 4, &verdict) || !ParseNumber(f[8], 1, &info) ||
        !ParseFlag(f[9], &facts->descriptionWritten) || f[10].size() >= kFileTextBytes ||
        !ParseFlag(f[11], &facts->yearWritten) || f[12].size() >= kFileTextBytes ||
        f[show].size() >= kFileNameBytes || !ParseFlag(f[show + 1], &facts->screen) ||
        !ParseFlag(f[show + 2], &facts->mechanical) || !ParseFlag(f[show + 3], &facts->preliminary))
        return false;
    *name = f[1];
    facts->answered = true;
    facts->cloneOf = f[6];
    facts->driverVerdict = static_cast<int>(verdict);
    facts->infoFound = static_cast<int>(info);
    facts->description = f[10];
    facts->year = f[12];
    facts->romOf = f[show];
    for (size_t i = show + kShowFields; i < f.size(); ++i) {
        if (f[i].size() >= kFileDeviceBytes)
            return false;
        facts->disks.push_back(f[i]);
    }
    for (size_t i = kMachineFields; i < show; i += 3) {
        DeviceValue entry;
        entry.value = f[i];
        entry.device = f[i + 2];
        if (entry.value.size() > 3 || entry.device.size() >= kFileDeviceBytes ||
            !ParseFlag(f[i + 1], &entry.usable))
            return false;
        facts->devices.push_back(entry);
    }
    return true;
}

