#include "device/device_packet.h"

#include "support/little_endian.h"

#include <cstring>

const unsigned char s_arrSysexHead[2] = {0x59, 0x00};

namespace {

unsigned char payload_sum(const unsigned char* payload, unsigned int L)
{
    unsigned char sum = 0;
    for (unsigned int k = 0; k < L; ++k)
        sum = static_cast<unsigned char>(sum + payload[k]);
    return sum;
}

// Head, command and length; returns where the payload goes.
unsigned char* put_header(unsigned char* out, unsigned char command, unsigned int L)
{
    out[0] = s_arrSysexHead[0];
    out[1] = s_arrSysexHead[1];
    out[2] = command;
    return LE::write24(out + 3, L);
}

// Appends the checksum of the payload that starts after the header of `out`.
unsigned int finish_packet(unsigned char* out, unsigned char* payload_end)
{
    const unsigned char* payload = out + PACKET_HEADER_SIZE;
    add_checksum(payload_end, payload, static_cast<unsigned int>(payload_end - payload));
    return static_cast<unsigned int>(payload_end - out);
}

// Type and address, the start of every flash command's payload.
unsigned char* put_flash_target(unsigned char* at, EFlashType type, unsigned int address)
{
    *at++ = static_cast<unsigned char>(type);
    return LE::write32(at, address);
}

}  // namespace

unsigned char payload_checksum(const unsigned char* payload, unsigned int L)
{
    return static_cast<unsigned char>(~payload_sum(payload, L));
}

void add_checksum(unsigned char*& out, const unsigned char* payload, unsigned int L)
{
    *out++ = payload_checksum(payload, L);
}

bool verify_checksum(const unsigned char* payload, unsigned int L, unsigned char checksum)
{
    return L == 0 || payload_checksum(payload, L) == checksum;
}

unsigned int make_responds_packet(unsigned char* out, bool ok)
{
    unsigned char* at = put_header(out, PACKET_RESPONDS, 1);
    *at++ = ok ? 0 : 1;
    return finish_packet(out, at);
}

unsigned int make_query_packet(unsigned char* out, EQueryCmd cmd)
{
    return finish_packet(out, put_header(out, static_cast<unsigned char>(cmd), 0));
}

unsigned int make_flash_erase_packet(unsigned char* out, EFlashType type, unsigned int address)
{
    unsigned char* at = put_header(out, PACKET_FLASH_ERASE, 5);
    return finish_packet(out, put_flash_target(at, type, address));
}

unsigned int make_flash_write_packet(unsigned char* out, EFlashType type, unsigned int address,
                                     const unsigned char* data, unsigned int n)
{
    unsigned char* at = put_header(out, PACKET_FLASH_WRITE, n + 8);
    at = LE::write24(put_flash_target(at, type, address), n);
    if (n > 0)
        std::memcpy(at, data, n);
    return finish_packet(out, at + n);
}

unsigned int make_flash_read_packet(unsigned char* out, EFlashType type, unsigned int address, unsigned int n)
{
    unsigned char* at = put_header(out, PACKET_FLASH_READ, 8);
    return finish_packet(out, LE::write24(put_flash_target(at, type, address), n));
}

unsigned int make_flash_checksum_packet(unsigned char* out, EFlashType type, unsigned int address,
                                        unsigned int n)
{
    unsigned char* at = put_header(out, PACKET_FLASH_CHECKSUM, 9);
    return finish_packet(out, LE::write32(put_flash_target(at, type, address), n));
}

unsigned int make_mode_change_packet(unsigned char* out)
{
    unsigned char* at = put_header(out, PACKET_MODE_CHANGE, 2);
    *at++ = 0x7F;
    *at++ = 0x7F;
    return finish_packet(out, at);
}

unsigned int packet_payload_length(const unsigned char* packet)
{
    return LE::read24(packet + 3);
}
