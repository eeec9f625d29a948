#pragma once

#include <cstdint>

// Multi-byte numbers as the pedal, its packages and WAV files lay them out: least
// significant byte first, whatever the host.
namespace LE {

inline uint32_t read16(const unsigned char* at)
{
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8;
}
inline uint32_t read24(const unsigned char* at)
{
    return read16(at) | static_cast<uint32_t>(at[2]) << 16;
}
inline uint32_t read32(const unsigned char* at)
{
    return read16(at) | read16(at + 2) << 16;
}
// Each writer returns the byte after what it wrote.
inline unsigned char* write16(unsigned char* at, uint32_t value)
{
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
    return at + 2;
}
inline unsigned char* write24(unsigned char* at, uint32_t value)
{
    at = write16(at, value);
    *at = static_cast<unsigned char>(value >> 16);
    return at + 1;
}
inline unsigned char* write32(unsigned char* at, uint32_t value)
{
    return write16(write16(at, value), value >> 16);
}

}  // namespace LE
