#include "emulator/report.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "base/format.h"
#include "config/settings.h"
#include "emulator/facts.h"

static const size_t kDeviceBytes = 1024;
static const size_t kInfoBytes = 1024;        // description and year
static const size_t kLongestExtension = 3;    // what a file name's last four characters allow

void StrToLower(char *text)
{
    // Plain ASCII on purpose: the emulator's names and extensions are ASCII,
    // and a locale could change bytes above 127.
    for (char *p = text; *p; ++p)
        if (*p >= 'A' && *p <= 'Z')
            *p = static_cast<char>(*p - 'A' + 'a');
}

bool EqualIgnoringCase(const char *a, const char *b, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

namespace {

void AppendUtf8(std::string *out, unsigned long code)
{
    if (code < 0x80) {
        *out += static_cast<char>(code);
    } else if (code < 0x800) {
        *out += static_cast<char>(0xC0 | code >> 6);
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *out += static_cast<char>(0xE0 | code >> 12);
        *out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | code >> 18);
        *out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        *out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The character that the reference "&#...;" (at most 12 characters, without
// '&' and ';') names; 0 when it names none that text may hold.
unsigned long CharacterReference(const std::string &reference)
{
    bool hex = reference.size() > 1 && (reference[1] == 'x' || reference[1] == 'X');
    size_t first = hex ? 2 : 1;
    if (reference.size() <= first || reference.size() > first + 7)
        return 0;
    unsigned long code = 0;
    for (size_t i = first; i < reference.size(); ++i) {
        char c = reference[i];
        int digit = c >= '0' && c <= '9'             ? c - '0'
                    : hex && c >= 'a' && c <= 'f'    ? c - 'a' + 10
                    : hex && c >= 'A' && c <= 'F'    ? c - 'A' + 10
                                                     : -1;
        if (digit < 0)
            return 0;
        code = code * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
    }
    bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code > 0x10FFFF || surrogate ? 0 : code;
}

// The extension of fileName: the text after a dot among its last four
// characters (0 to 3 characters), lower-cased. False when there is no such dot.
bool ExtensionOf(const char *fileName, char *extension /* 4 bytes */)
{
    size_t length = strlen(fileName);
    size_t first = length > 4 ? length - 4 : 0;
    for (size_t i = length; i > first; --i) {
        if (fileName[i - 1] == '.') {
            CopyText(extension, 4, fileName + i);   // at most 3 characters: always fits
            StrToLower(extension);
            return true;
        }
    }
    return false;
}

// The text between the double quote at quote and the next double quote;
// nullptr when the report ends first.
const char *QuotedValueEnd(const char *quote)
{
    return strchr(quote + 1, '"');
}

// Walks the report as the device scan does and calls
// visit(device, deviceLength, value, valueLength) for each extension value
// it compares, in order, until visit returns true or the report gives out.
// The device is the first quoted value after the latest "instance name";
// the walk is not held within a device, so a device without extensions
// lends its name to the next device's values.
template <typename Visit>
void WalkDeviceValues(const char *text, Visit visit)
{
    // The DTD at the top of a report mentions instances and extensions too:
    // the walk starts at the first machine.
    const char *p = strstr(text, "machine name=\"");
    if (!p)
        return;
    for (;;) {
        p = strstr(p, "instance name");
        if (!p || !(p = strchr(p, '"')))
            return;
        const char *nameEnd = QuotedValueEnd(p);
        if (!nameEnd)
            return;
        const char *device = p + 1;
        size_t deviceLength = static_cast<size_t>(nameEnd - device);

        p = strstr(p, "extension name");
        if (!p)
            return;
        for (;;) {
            const char *quote = strchr(p, '"');
            if (!quote)
                return;
            const char *valueEnd = QuotedValueEnd(quote);
            if (!valueEnd)
                return;
            if (visit(device, deviceLength, quote + 1, static_cast<size_t>(valueEnd - (quote + 1))))
                return;
            p = strchr(quote + 1, '<');
            if (!p)
                return;
            if (p[1] == '/')
                break;   // this device's extensions have ended
        }
    }
}

// Where the first description and the year after it stand in the report.
struct InformationSpan {
    const char *description = nullptr, *year = nullptr;   // nullptr: not found whole
    size_t descriptionLength = 0, yearLength = 0;
};

InformationSpan FindInformation(const char *text)
{
    static const char kDescriptionOpen[] = "<description>";
    static const char kYearOpen[] = "<year>";
    InformationSpan span;
    const char *start = strstr(text, kDescriptionOpen);
    const char *end = start ? strstr(start, "</description>") : nullptr;
    if (!end)
        return span;
    span.description = start + strlen(kDescriptionOpen);
    span.descriptionLength = static_cast<size_t>(end - span.description);
    // A year element before the description is not seen.
    const char *yearStart = strstr(start, kYearOpen);
    const char *yearEnd = yearStart ? strstr(yearStart, "</year>") : nullptr;
    if (yearEnd) {
        span.year = yearStart + strlen(kYearOpen);
        span.yearLength = static_cast<size_t>(yearEnd - span.year);
    }
    return span;
}

// The value of attribute name (" name=\"") in one start tag; empty when absent.
std::string Attribute(const std::string &tag, const char *name)
{
    std::string marker = std::string(" ") + name + "=\"";
    size_t start = tag.find(marker);
    if (start == std::string::npos)
        return std::string();
    start += marker.size();
    size_t end = tag.find('"', start);
    return end == std::string::npos ? std::string() : tag.substr(start, end - start);
}

// The start tag beginning at text (up to its '>' or the end of the text).
std::string StartTag(const char *text)
{
    const char *close = strchr(text, '>');
    return std::string(text, close ? close : text + strlen(text));
}

// What the machine element's children say: a screen, a driver that does not
// work yet, the disks it cannot run without. A report cut inside the element
// may hide its screen, so only a whole element counts as screenless.
void ReadMachineBody(const char *body, MachineFacts *facts)
{
    const char *end = strstr(body, "</machine>");
    std::string inner(body, end ? end : body + strlen(body));
    facts->screen = !end || inner.find("<display") != std::string::npos ||
                    inner.find("<video") != std::string::npos;
    size_t driver = inner.find("<driver ");
    facts->preliminary = driver != std::string::npos &&
                         Attribute(StartTag(inner.c_str() + driver), "status") == "preliminary";
    for (size_t at = inner.find("<disk "); at != std::string::npos; at = inner.find("<disk ", at + 1)) {
        std::string tag = StartTag(inner.c_str() + at);
        // A disk nobody has dumped cannot be asked for.
        if (Attribute(tag, "optional") != "yes" && Attribute(tag, "status") != "nodump") {
            std::string disk = Attribute(tag, "name");
            facts->disks.push_back(DecodeEntities(disk.c_str(), disk.size()));
        }
    }
}

// The attributes of the machine element named name. A report names the
// devices the machine uses as machines of their own, and the emulator takes
// the name in any letter case.
void ReadMachineElement(const char *text, const char *name, MachineFacts *facts)
{
    static const char kOpen[] = "<machine name=\"";
    size_t nameLength = strlen(name);
    for (const char *p = strstr(text, kOpen); p; p = strstr(p + 1, kOpen)) {
        const char *value = p + strlen(kOpen);
        const char *valueEnd = strchr(value, '"');
        if (!valueEnd)
            return;
        if (static_cast<size_t>(valueEnd - value) != nameLength ||
            !EqualIgnoringCase(value, name, nameLength))
            continue;
        std::string tag = StartTag(valueEnd);
        facts->known = true;
        facts->bios = tag.find(" isbios=\"yes\"") != std::string::npos;
        facts->device = tag.find(" isdevice=\"yes\"") != std::string::npos;
        facts->runnable = tag.find(" runnable=\"no\"") == std::string::npos;
        facts->mechanical = tag.find(" ismechanical=\"yes\"") != std::string::npos;
        facts->cloneOf = Attribute(tag, "cloneof");
        facts->romOf = Attribute(tag, "romof");
        ReadMachineBody(valueEnd + tag.size(), facts);
        return;
    }
}

} // namespace

std::string DecodeEntities(const char *text, size_t length)
{
    static const struct {
        const char *name;
        char character;
    } kEntities[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        const char *semicolon =
            text[i] == '&' ? static_cast<const char *>(memchr(text + i, ';', std::min<size_t>(length - i, 14)))
                           : nullptr;
        if (!semicolon) {
            out += text[i];
            continue;
        }
        std::string reference(text + i + 1, semicolon);
        size_t before = out.size();
        if (reference[0] == '#') {
            if (unsigned long code = CharacterReference(reference))
                AppendUtf8(&out, code);
        } else {
            for (const auto &entity : kEntities)
                if (reference == entity.name)
                    out += entity.character;
        }
        if (out.size() == before)
            out += text[i];   // not a reference: the '&' stays, and what follows
        else
            i = static_cast<size_t>(semicolon - text);
    }
    return out;
}

int ScanDeviceByExtension(const char *report, const char *fileName, char *device)
{
    char extension[4];
    if (!ExtensionOf(fileName, extension))
        return 0;
    size_t extensionLength = strlen(extension);
    int found = 0;
    WalkDeviceValues(report, [&](const char *name, size_t nameLength, const char *value,
                                 size_t valueLength) {
        if (valueLength != extensionLength || memcmp(value, extension, extensionLength) != 0)
            return false;
        // A name too long for the device buffer cannot be passed on whole;
        // a cut name would be a wrong option, so this match gives nothing.
        found = CopyTextPart(device, kDeviceBytes, name, nameLength) ? 1 : 0;
        return true;
    });
    return found;
}

int ScanDriverStatus(const char *report)
{
    const char *status = strstr(report, "<driver status=");
    if (!status)
        return 1;
    if (strstr(status, "imperfect"))
        return 1;
    if (strstr(status, "preliminary"))
        return 2;
    if (strstr(report, "status=\"baddump\""))
        return 3;
    if (strstr(report, "status=\"nodump\""))
        return 4;
    return 0;
}

int ScanDriverInformation(const char *report, char *description, char *year)
{
    InformationSpan span = FindInformation(report);
    // Too long for the caller's buffer: refused (left empty), never cut.
    if (!span.description ||
        !CopyText(description, kInfoBytes,
                  DecodeEntities(span.description, span.descriptionLength).c_str()) ||
        !span.year)
        return 0;
    return CopyText(year, kInfoBytes, DecodeEntities(span.year, span.yearLength).c_str()) ? 1 : 0;
}

void ReadMachineFacts(const char *report, const char *name, MachineFacts *facts)
{
    *facts = MachineFacts();
    ReadMachineElement(report, name, facts);
    // MAME's words for a name it does not know; an empty or other answer
    // (an emulator that failed to start up) tells nothing to remember.
    facts->answered = facts->known || strstr(report, "No matching ") != nullptr;
    facts->driverVerdict = ScanDriverStatus(report);

    // Kept decoded: the title card and everyone after it show them as text.
    InformationSpan span = FindInformation(report);
    if (span.description) {
        facts->descriptionWritten = true;
        std::string description = DecodeEntities(span.description, span.descriptionLength);
        if (description.size() < kInfoBytes) {
            facts->description = description;
            if (span.year) {
                facts->yearWritten = true;
                std::string year = DecodeEntities(span.year, span.yearLength);
                if (year.size() < kInfoBytes) {
                    facts->year = year;
                    facts->infoFound = 1;
                }
            }
        }
    }

    // The device scan answers with the first device whose value equals the
    // file's extension: the first pair of each value is all it can ever
    // give, and a value longer than an extension never matches.
    std::set<std::string> seen;
    WalkDeviceValues(report, [&](const char *device, size_t deviceLength, const char *value,
                                 size_t valueLength) {
        if (valueLength > kLongestExtension || !seen.insert(std::string(value, valueLength)).second)
            return false;
        DeviceValue entry;
        entry.value.assign(value, valueLength);
        entry.usable = deviceLength < kDeviceBytes;
        if (entry.usable)
            entry.device.assign(device, deviceLength);
        facts->devices.push_back(entry);
        return false;
    });
}

int DeviceFromFacts(const MachineFacts &facts, const char *fileName, char *device)
{
    char extension[4];
    if (!ExtensionOf(fileName, extension))
        return 0;
    for (const DeviceValue &entry : facts.devices)
        if (entry.value == extension)
            return entry.usable && CopyText(device, kDeviceBytes, entry.device.c_str()) ? 1 : 0;
    return 0;
}

int GetDeviceByExtension(const char *folder, const char *machine, const char *fileName,
                         char *device)
{
    MachineFacts facts;
    if (!GetMachineFacts(folder, MessExe, machine, &facts, nullptr))
        return 0;
    return DeviceFromFacts(facts, fileName, device);
}

int IsDriverImperfect(const char *folder, const char *executable, const char *name)
{
    MachineFacts facts;
    // No answer from the emulator speaks against the game like an empty report.
    if (!GetMachineFacts(folder, executable, name, &facts, nullptr))
        return 1;
    return facts.driverVerdict;
}

int GetDriverInformation(const char *folder, const char *executable, const char *name,
                         char *description, char *year)
{
    MachineFacts facts;
    if (!GetMachineFacts(folder, executable, name, &facts, nullptr))
        return 0;
    if (facts.descriptionWritten)
        CopyText(description, kInfoBytes, facts.description.c_str());
    if (facts.yearWritten)
        CopyText(year, kInfoBytes, facts.year.c_str());
    return facts.infoFound;
}
