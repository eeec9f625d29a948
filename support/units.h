#pragma once

#include <cstdint>

// The program's MB, in every text that gives a size: 2^20 bytes.
constexpr uint64_t kBytesPerMegabyte = 1048576;

inline double megabytes(uint64_t bytes)
{
    return double(bytes) / double(kBytesPerMegabyte);
}
