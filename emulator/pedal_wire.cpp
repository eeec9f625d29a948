#include "emulator/pedal_wire.h"

namespace pedal_wire {

// Written by index into a buffer of the right size: a song crosses these a byte at a time.
std::vector<uint8_t> pack7(const uint8_t* data, size_t length)
{
    std::vector<uint8_t> out((length * 8 + 6) / 7);
    size_t at = 0;
    uint32_t bits = 0;
    unsigned pending = 0;
    for (size_t i = 0; i < length; ++i) {
        bits |= static_cast<uint32_t>(data[i]) << pending;
        pending += 8;
        while (pending >= 7) {
            out[at++] = static_cast<uint8_t>(bits & 0x7F);
            bits >>= 7;
            pending -= 7;
        }
    }
    if (pending > 0)
        out[at++] = static_cast<uint8_t>(bits & 0x7F);
    out.resize(at);
    return out;
}

std::vector<uint8_t> unpack7(const uint8_t* data, size_t length)
{
    std::vector<uint8_t> out(length * 7 / 8);
    size_t at = 0;
    size_t i = 0;
    // Whole groups first: eight 7-bit bytes are exactly 56 bits, seven bytes.
    for (; i + 8 <= length; i += 8, at += 7) {
        uint64_t group = 0;
        for (unsigned k = 0; k < 8; ++k)
            group |= static_cast<uint64_t>(data[i + k] & 0x7F) << (7 * k);
        for (unsigned k = 0; k < 7; ++k)
            out[at + k] = static_cast<uint8_t>(group >> (8 * k));
    }
    uint32_t bits = 0;
    unsigned pending = 0;
    for (; i < length; ++i) {
        bits |= static_cast<uint32_t>(data[i] & 0x7F) << pending;
        pending += 7;
        if (pending >= 8) {
            out[at++] = static_cast<uint8_t>(bits & 0xFF);
            bits >>= 8;
            pending -= 8;
        }
    }
    out.resize(at);
    return out;
}

uint8_t checksum(const uint8_t* payload, size_t length)
{
    uint8_t sum = 0;
    for (size_t i = 0; i < length; ++i)
        sum = static_cast<uint8_t>(sum + payload[i]);
    return static_cast<uint8_t>(~sum);
}

std::vector<uint8_t> make_packet(uint8_t command, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> packet;
    packet.reserve(payload.size() + PACKET_OVERHEAD);
    packet.push_back(HEAD_0);
    packet.push_back(HEAD_1);
    packet.push_back(command);
    put_le(packet, static_cast<uint32_t>(payload.size()), 3);
    packet.insert(packet.end(), payload.begin(), payload.end());
    packet.push_back(checksum(payload.data(), payload.size()));
    return packet;
}

std::vector<uint8_t> frame(const std::vector<uint8_t>& bytes, bool packed)
{
    std::vector<uint8_t> message;
    message.reserve(bytes.size() * 8 / 7 + 3);
    message.push_back(SYSEX_START);
    if (packed) {
        const auto data = pack7(bytes.data(), bytes.size());
        message.insert(message.end(), data.begin(), data.end());
    } else {
        message.insert(message.end(), bytes.begin(), bytes.end());
    }
    message.push_back(SYSEX_END);
    return message;
}

bool unframe(const std::vector<uint8_t>& message, bool packed, std::vector<uint8_t>& bytes)
{
    if (message.size() < 2 || message.front() != SYSEX_START || message.back() != SYSEX_END)
        return false;
    const uint8_t* data = message.data() + 1;
    const size_t length = message.size() - 2;
    if (packed)
        bytes = unpack7(data, length);
    else
        bytes.assign(data, data + length);
    return true;
}

}  // namespace pedal_wire
