#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The pedal's side of the wire format: sysex framing with 8-to-7 bit packing, and the
// update-mode packet 59 00 command L(24 bits) payload checksum. Written for the emulator
// alone so that it can disagree with the program's own transport.
namespace pedal_wire {

constexpr uint8_t SYSEX_START = 0xF0;
constexpr uint8_t SYSEX_END = 0xF7;
constexpr uint8_t HEAD_0 = 0x59;
constexpr uint8_t HEAD_1 = 0x00;
constexpr size_t PACKET_OVERHEAD = 7;  // head 2, command 1, length 3, checksum 1

// Bit stream, least significant bit first, cut into 7-bit groups; a short last group is
// zero-filled at the top.
std::vector<uint8_t> pack7(const uint8_t* data, size_t length);
// The inverse; bits left over at the end (the zero fill) are dropped.
std::vector<uint8_t> unpack7(const uint8_t* data, size_t length);

// NOT of the 8-bit sum of the payload.
uint8_t checksum(const uint8_t* payload, size_t length);

// The whole packet, checksum included, unframed.
std::vector<uint8_t> make_packet(uint8_t command, const std::vector<uint8_t>& payload);

// F0, the bytes (packed when `packed`), F7.
std::vector<uint8_t> frame(const std::vector<uint8_t>& bytes, bool packed);
// The bytes between F0 and F7 (unpacked when `packed`); false when not framed so.
bool unframe(const std::vector<uint8_t>& message, bool packed, std::vector<uint8_t>& bytes);

inline uint32_t get_le(const uint8_t* p, unsigned size)
{
    uint32_t value = 0;
    for (unsigned i = 0; i < size; ++i)
        value |= static_cast<uint32_t>(p[i]) << (8 * i);
    return value;
}

inline void put_le(std::vector<uint8_t>& out, uint32_t value, unsigned size)
{
    for (unsigned i = 0; i < size; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace pedal_wire
