#include "support/bytes.h"

#include <zlib.h>

void PutWord(std::string &out, uint16_t value)
{
    out += static_cast<char>(value & 0xff);
    out += static_cast<char>(value >> 8);
}

void PutDword(std::string &out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((value >> shift) & 0xff);
}

std::string BigEndian32(uint32_t v)
{
    return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 8), static_cast<char>(v)};
}

std::string PngChunk(const std::string &type, const std::string &body)
{
    std::string typed = type + body;
    uLong crc = crc32(0, reinterpret_cast<const Bytef *>(typed.data()), static_cast<uInt>(typed.size()));
    return BigEndian32(static_cast<uint32_t>(body.size())) + typed + BigEndian32(static_cast<uint32_t>(crc));
}

const std::string kSignature("\x89PNG\r\n\x1a\n", 8);

std::string Ihdr(uint32_t width, uint32_t height, int depth, int colourType)
{
    return PngChunk("IHDR", BigEndian32(width) + BigEndian32(height) + char(depth) +
                                char(colourType) + std::string(3, '\0'));
}

std::string Idat(const std::string &raw)
{
    uLongf size = compressBound(raw.size());
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef *>(&packed[0]), &size,
             reinterpret_cast<const Bytef *>(raw.data()), raw.size());
    return PngChunk("IDAT", packed.substr(0, size));
}

std::string Png(uint32_t width, uint32_t height, int depth, int colourType, std::string raw)
{
    if (raw.empty())
        raw.assign(height * (1 + 3 * width), '\0');
    return kSignature + Ihdr(width, height, depth, colourType) + Idat(raw) + PngChunk("IEND", "");
}
