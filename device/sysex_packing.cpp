#include "device/sysex_packing.h"

#include <cstdint>

unsigned int pack_8_to_7(const unsigned char* src, unsigned int n, unsigned char* dst)
{
    unsigned char* const start = dst;
    // Whole groups: 7 input bytes are exactly 56 bits, 8 data bytes.
    for (; n >= 7; n -= 7, src += 7) {
        uint64_t bits = 0;
        for (int k = 0; k < 7; ++k)
            bits |= static_cast<uint64_t>(src[k]) << (8 * k);
        for (int k = 0; k < 8; ++k)
            dst[k] = static_cast<unsigned char>((bits >> (7 * k)) & 0x7F);
        dst += 8;
    }
    if (n > 0) {
        uint64_t bits = 0;
        for (unsigned int k = 0; k < n; ++k)
            bits |= static_cast<uint64_t>(src[k]) << (8 * k);
        for (unsigned int k = 0; k <= n; ++k)
            dst[k] = static_cast<unsigned char>((bits >> (7 * k)) & 0x7F);
        dst += n + 1;
    }
    return static_cast<unsigned int>(dst - start);
}

unsigned int unpack_7_to_8(const unsigned char* src, unsigned int n, unsigned char* dst)
{
    CSysexUnpacker unpacker;
    unsigned int count = 0;
    for (unsigned int k = 0; k < n; ++k) {
        if (unpacker.feed(src[k], dst[count]))
            ++count;
    }
    return count;
}
