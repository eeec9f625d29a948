#pragma once

#include <cstdint>

// Byte layout of a firmware package (".dat"), shared by the reader and the builder so the
// two can never drift apart. Every number in the file is unsigned 32-bit little-endian.
namespace PACK {

constexpr unsigned HEADER_SIZE = 128;   // file header, and each section header
constexpr unsigned CHECKED_SIZE = 124;  // bytes covered by a header's byte-sum checksum
constexpr unsigned CHECKSUM_OFFSET = 124;
constexpr unsigned PRODUCT_ID_OFFSET = 32;
constexpr unsigned PRODUCT_ID_END = 112;  // the product ID's NUL lies before this offset
constexpr unsigned TOKEN_OFFSET = 112;
constexpr char TOKEN[] = "Data Number";  // stored without its terminator
constexpr unsigned TOKEN_SIZE = sizeof(TOKEN) - 1;
constexpr unsigned COUNT_OFFSET = 123;
constexpr unsigned MAX_SECTIONS = 99;

// Every byte of a stored (zlib-compressed) payload is XORed with this key.
constexpr unsigned char KEY = 0x5A;

// The unpack buffer is the header's unpacked length plus this slack.
constexpr unsigned UNPACK_SLACK = 100;

// zlib's deflate cannot expand data by more than about 1032 : 1, so a stored payload can
// never unpack to more than this many bytes; a larger buffer would only waste memory.
constexpr uint64_t MAX_INFLATE_RATIO = 1032;
constexpr uint64_t INFLATE_MARGIN = 64;

// Largest image a section may unpack to. Far above any pedal's flash, small enough that a
// forged header cannot make the program allocate gigabytes.
constexpr uint32_t MAX_IMAGE_SIZE = 256u << 20;

// Offsets inside a section header.
constexpr unsigned CONFIG_OFFSET_AT = 64;
constexpr unsigned CONFIG_LENGTH_AT = 68;
constexpr unsigned STORED_LENGTH_AT = 76;
constexpr unsigned STORED_OFFSET_AT = 112;
constexpr unsigned UNPACKED_LENGTH_AT = 116;

// Undoes (or applies) the key on a stored payload in place.
inline void apply_key(unsigned char* data, uint64_t length)
{
    for (uint64_t i = 0; i < length; ++i)
        data[i] ^= KEY;
}

}  // namespace PACK
