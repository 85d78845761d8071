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
