#include "device/sysex_packing.h"

#include <cstdint>
#include <cstring>

namespace {
// The low 56 bits of `bits` as eight 7-bit data bytes.
inline void spread_group(uint64_t bits, unsigned char* dst)
{
    for (int k = 0; k < 8; ++k)
        dst[k] = static_cast<unsigned char>((bits >> (7 * k)) & 0x7F);
}
}  // namespace

unsigned int pack_8_to_7(const unsigned char* src, unsigned int n, unsigned char* dst)
{
    unsigned char* const start = dst;
    // Whole groups: 7 input bytes are exactly 56 bits, 8 data bytes. While 8 input bytes
    // remain, a little-endian host loads a group with one 8-byte load.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    for (; n >= 8; n -= 7, src += 7, dst += 8) {
        uint64_t bits;
        std::memcpy(&bits, src, sizeof bits);
        spread_group(bits, dst);
    }
#endif
    for (; n >= 7; n -= 7, src += 7, dst += 8) {
        uint64_t bits = 0;
        for (int k = 0; k < 7; ++k)
            bits |= static_cast<uint64_t>(src[k]) << (8 * k);
        spread_group(bits, dst);
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
