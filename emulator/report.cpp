#include "emulator/report.h"

#include <cstdlib>
#include <cstring>

#include "base/format.h"
#include "base/names.h"
#include "config/settings.h"
#include "emulator/runner.h"

static const int kCommandBytes = 1024;
static const int kDeviceBytes = 1024;
static const int kInfoBytes = 1024;         // description and year
static const int kExtensionValueBytes = 128;

void StrToLower(char *text)
{
    // Plain ASCII on purpose: the emulator's names and extensions are ASCII,
    // and a locale could change bytes above 127.
    for (char *p = text; *p; ++p)
        if (*p >= 'A' && *p <= 'Z')
            *p = static_cast<char>(*p - 'A' + 'a');
}

namespace {

// One -listxml report, held for one query. Empty when the command did not
// fit or the memory could not be had: the scans then find nothing, as they
// would for an emulator that could not be started.
class Report {
public:
    Report(const char *folder, const char *executable, const char *name)
    {
        text_ = static_cast<char *>(malloc(kRunnerOutputBytes));
        if (!text_)
            return;
        text_[0] = '\0';
        if (!IsPlainName(name))   // it goes onto the command line unquoted
            return;
        char command[kCommandBytes];
        if (!FormatText(command, sizeof command, "\"%s\\%s\" -listxml %s", folder, executable,
                        name))
            return;
        RunQuery(command, text_);
        // Whatever the runner did, the scans must stop inside the buffer.
        text_[kRunnerOutputBytes - 1] = '\0';
    }
    ~Report() { free(text_); }
    Report(const Report &) = delete;
    Report &operator=(const Report &) = delete;

    const char *Text() const { return text_ ? text_ : ""; }

private:
    char *text_ = nullptr;
};

// The extension of fileName: the text after a dot among its last four
// characters (0 to 3 characters). False when there is no such dot.
bool ExtensionOf(const char *fileName, char *extension /* 4 bytes */)
{
    size_t length = strlen(fileName);
    size_t first = length > 4 ? length - 4 : 0;
    for (size_t i = length; i > first; --i) {
        if (fileName[i - 1] == '.') {
            CopyText(extension, 4, fileName + i);   // at most 3 characters: always fits
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

} // namespace

int GetDeviceByExtension(const char *folder, const char *machine, const char *fileName,
                         char *device)
{
    // The emulator is asked before the file name is looked at.
    Report report(folder, MessExe, machine);
    const char *text = report.Text();

    char extension[4];
    if (!ExtensionOf(fileName, extension))
        return 0;
    StrToLower(extension);
    size_t extensionLength = strlen(extension);

    // The DTD at the top of a report mentions instances and extensions too:
    // the scan starts at the first machine.
    const char *p = strstr(text, "machine name=\"");
    if (!p)
        return 0;

    for (;;) {
        p = strstr(p, "instance name");
        if (!p)
            return 0;
        p = strchr(p, '"');
        if (!p)
            return 0;
        const char *nameEnd = QuotedValueEnd(p);
        if (!nameEnd)
            return 0;
        // A name too long for the device buffer cannot be passed on whole;
        // a cut name would be a wrong option, so this device never matches.
        bool deviceUsable = CopyTextPart(device, kDeviceBytes, p + 1, nameEnd - (p + 1));

        p = strstr(p, "extension name");
        if (!p)
            return 0;

        for (;;) {
            const char *quote = strchr(p, '"');
            if (!quote)
                return 0;
            const char *valueEnd = QuotedValueEnd(quote);
            if (!valueEnd)
                return 0;
            size_t valueLength = valueEnd - (quote + 1);
            // Values longer than an extension value may be are never compared.
            if (valueLength < kExtensionValueBytes && valueLength == extensionLength &&
                memcmp(quote + 1, extension, extensionLength) == 0)
                return deviceUsable ? 1 : 0;
            p = strchr(quote + 1, '<');
            if (!p)
                return 0;
            if (p[1] == '/')
                break;   // this device's extensions have ended
        }
    }
}

int IsDriverImperfect(const char *folder, const char *executable, const char *name)
{
    Report report(folder, executable, name);
    const char *text = report.Text();

    const char *status = strstr(text, "<driver status=");
    if (!status)
        return 1;
    if (strstr(status, "imperfect"))
        return 1;
    if (strstr(status, "preliminary"))
        return 2;
    if (strstr(text, "status=\"baddump\""))
        return 3;
    if (strstr(text, "status=\"nodump\""))
        return 4;
    return 0;
}

int GetDriverInformation(const char *folder, const char *executable, const char *name,
                         char *description, char *year)
{
    static const char kDescriptionOpen[] = "<description>";
    static const char kYearOpen[] = "<year>";

    Report report(folder, executable, name);
    const char *text = report.Text();

    const char *start = strstr(text, kDescriptionOpen);
    if (!start)
        return 0;
    const char *end = strstr(start, "</description>");
    if (!end)
        return 0;
    const char *value = start + strlen(kDescriptionOpen);
    // Too long for the caller's buffer: refused (left empty), never cut.
    if (!CopyTextPart(description, kInfoBytes, value, end - value))
        return 0;

    const char *yearStart = strstr(start, kYearOpen);
    if (!yearStart)
        return 0;
    const char *yearEnd = strstr(yearStart, "</year>");
    if (!yearEnd)
        return 0;
    value = yearStart + strlen(kYearOpen);
    if (!CopyTextPart(year, kInfoBytes, value, yearEnd - value))
        return 0;
    return 1;
}
