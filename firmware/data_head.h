#pragma once

#include <cstdint>

// One 128-byte section header of a firmware package. The fields keep their file order;
// `decode`/`encode` convert from and to the little-endian file bytes, so the struct's own
// memory layout never matters. Offsets and lengths are untrusted until checked against
// the file they came from.
struct SDataHead {
    unsigned char reserved_0[64] = {};
    uint32_t config_offset = 0;  // file offset of the section's layout text
    uint32_t config_length = 0;  // layout text bytes (plain text, no terminator)
    uint32_t reserved_72 = 0;
    uint32_t stored_length = 0;  // bytes of the keyed zlib stream
    unsigned char reserved_80[32] = {};
    uint32_t stored_offset = 0;    // file offset of the keyed zlib stream
    uint32_t unpacked_length = 0;  // the image size the writer declared
    uint32_t reserved_120 = 0;
    uint32_t checksum = 0;  // byte sum of the header's bytes 0..123

    static SDataHead decode(const unsigned char* bytes);  // 128 bytes
    void encode(unsigned char* bytes) const;              // 128 bytes; checksum as held
};
