#pragma once

// The pedal's update-mode packets: head 59 00, command (or reply type), 24-bit payload
// length L, L payload bytes, then a checksum that is the NOT of the 8-bit payload sum.
// A packet is L + 7 bytes. Multi-byte numbers are little-endian.

// Which flash a command addresses; sent as one byte.
enum EFlashType : int {
    FLASH_TYPE_SYSTEM = 0,  // program flash: device information, firmware sections
    FLASH_TYPE_NAND = 1,    // song flash
};

enum EQueryCmd : int {
    QUERY_NAME_AND_VERSION = 0x11,  // its reply is 34 bytes long
};

// The pedal's system mode as the link sees it.
enum ESystemMode : int {
    SYSTEM_MODE_APP = 0,
    SYSTEM_MODE_UPDATE = 1,
    SYSTEM_MODE_NONE = 2,
};

// Sub-command byte of the mic core commands; the program names none of its values.
enum EMicSubCmd : int {};

extern const unsigned char s_arrSysexHead[2];

constexpr unsigned int PACKET_HEADER_SIZE = 6;
constexpr unsigned int PACKET_OVERHEAD = PACKET_HEADER_SIZE + 1;

enum EPacketCommand : unsigned char {
    PACKET_RESPONDS = 0x00,
    PACKET_FLASH_ERASE = 0x21,
    PACKET_FLASH_WRITE = 0x22,
    PACKET_FLASH_READ = 0x23,
    PACKET_FLASH_CHECKSUM = 0x24,
    PACKET_MODE_CHANGE = 0x50,
};

// Builders: write the whole packet to `out` and return its length.
[[nodiscard]] unsigned int make_responds_packet(unsigned char* out, bool ok);
[[nodiscard]] unsigned int make_query_packet(unsigned char* out, EQueryCmd cmd);
[[nodiscard]] unsigned int make_flash_erase_packet(unsigned char* out, EFlashType type, unsigned int address);
[[nodiscard]] unsigned int make_flash_write_packet(unsigned char* out, EFlashType type, unsigned int address,
                                                   const unsigned char* data, unsigned int n);
[[nodiscard]] unsigned int make_flash_read_packet(unsigned char* out, EFlashType type, unsigned int address,
                                                  unsigned int n);
[[nodiscard]] unsigned int make_flash_checksum_packet(unsigned char* out, EFlashType type,
                                                      unsigned int address, unsigned int n);
[[nodiscard]] unsigned int make_mode_change_packet(unsigned char* out);

// The NOT of the 8-bit sum of the L payload bytes.
[[nodiscard]] unsigned char payload_checksum(const unsigned char* payload, unsigned int L);
// Stores the checksum of the L payload bytes at `out` and advances `out`.
void add_checksum(unsigned char*& out, const unsigned char* payload, unsigned int L);
// True when `checksum` is the payload's checksum, and always for L = 0.
[[nodiscard]] bool verify_checksum(const unsigned char* payload, unsigned int L, unsigned char checksum);

// Fields of a received packet.
unsigned int packet_payload_length(const unsigned char* packet);
