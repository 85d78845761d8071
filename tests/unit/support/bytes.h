// Building binary formats byte by byte in the tests.
#pragma once
#include <cstdint>
#include <string>

// Appends value in little-endian order (zip fields).
void PutWord(std::string &out, uint16_t value);
void PutDword(std::string &out, uint32_t value);

// The four bytes of v, most significant first (PNG fields).
std::string BigEndian32(uint32_t v);

// A PNG chunk: length, type, body and the CRC over type and body.
std::string PngChunk(const std::string &type, const std::string &body);

extern const std::string kSignature;   // a PNG file's first 8 bytes
std::string Ihdr(uint32_t width, uint32_t height, int depth, int colourType);
std::string Idat(const std::string &raw);   // raw compressed
// A whole picture of 8-bit RGB rows, all unfiltered zeros unless raw is given.
std::string Png(uint32_t width, uint32_t height, int depth = 8, int colourType = 2, std::string raw = "");
