#include "saver/textlines.h"

namespace {

const char kEllipsis[] = "...";

bool IsContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}   // namespace

std::string FitLine(const std::string &text, int width, MeasureText measure, void *context)
{
    if (measure(context, text) <= width)
        return text;
    for (size_t cut = text.size(); cut > 0;) {
        --cut;
        while (cut > 0 && IsContinuationByte(text[cut]))
            --cut;
        std::string shorter = text.substr(0, cut) + kEllipsis;
        if (measure(context, shorter) <= width)
            return shorter;
    }
    return kEllipsis;
}

std::vector<std::string> WrapText(const std::string &text, int width, MeasureText measure,
                                  void *context)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t stop = text.find('\n', start);
        std::string paragraph = text.substr(start, stop == std::string::npos ? stop : stop - start);
        std::string line;
        size_t at = 0;
        while (at < paragraph.size()) {
            size_t blank = paragraph.find(' ', at);
            std::string word = paragraph.substr(at, blank == std::string::npos ? blank : blank - at);
            at = blank == std::string::npos ? paragraph.size() : blank + 1;
            if (word.empty())
                continue;
            std::string longer = line.empty() ? word : line + ' ' + word;
            if (measure(context, longer) <= width) {
                line = longer;
                continue;
            }
            if (!line.empty())
                lines.push_back(line);
            line = word;
            if (measure(context, line) > width) {
                lines.push_back(FitLine(line, width, measure, context));
                line.clear();
            }
        }
        if (!line.empty() || stop != std::string::npos)
            lines.push_back(line);
        if (stop == std::string::npos)
            break;
        start = stop + 1;
    }
    return lines;
}
