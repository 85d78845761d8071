#include "emulator/facts_fields.h"

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
