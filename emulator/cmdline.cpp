#include "emulator/cmdline.h"

#include <cstring>

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::vector<std::string> SplitCommandLine(const char *line)
{
    std::vector<std::string> words;
    const char *p = line;
    while (IsBlank(*p))
        ++p;
    if (!*p)
        return words;

    std::string program;
    if (*p == '"') {
        const char *end = strchr(p + 1, '"');
        if (!end)
            end = p + strlen(p);
        program.assign(p + 1, end);
        p = *end ? end + 1 : end;
    } else {
        while (*p && !IsBlank(*p))
            program += *p++;
    }
    words.push_back(program);

    for (;;) {
        while (IsBlank(*p))
            ++p;
        if (!*p)
            break;
        std::string word;
        bool quoted = false;
        while (*p && (quoted || !IsBlank(*p))) {
            size_t backslashes = 0;
            while (p[backslashes] == '\\')
                ++backslashes;
            if (p[backslashes] == '"') {
                word.append(backslashes / 2, '\\');
                if (backslashes % 2)
                    word += '"';
                else
                    quoted = !quoted;
                p += backslashes + 1;
            } else if (backslashes) {
                word.append(backslashes, '\\');
                p += backslashes;
            } else {
                word += *p++;
            }
        }
        words.push_back(word);
    }
    return words;
}

std::vector<std::string> NativeCommandWords(const char *line)
{
    std::vector<std::string> words = SplitCommandLine(line);
    for (std::string &word : words)
        for (char &c : word)
            if (c == '\\')
                c = '/';
    return words;
}
