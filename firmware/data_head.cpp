#include "firmware/data_head.h"
#include "support/little_endian.h"

#include "firmware/pack_format.h"

#include <cstring>

SDataHead SDataHead::decode(const unsigned char* bytes)
{
    SDataHead head;
    std::memcpy(head.reserved_0, bytes, sizeof head.reserved_0);
    head.config_offset = LE::read32(bytes + PACK::CONFIG_OFFSET_AT);
    head.config_length = LE::read32(bytes + PACK::CONFIG_LENGTH_AT);
    head.reserved_72 = LE::read32(bytes + 72);
    head.stored_length = LE::read32(bytes + PACK::STORED_LENGTH_AT);
    std::memcpy(head.reserved_80, bytes + 80, sizeof head.reserved_80);
    head.stored_offset = LE::read32(bytes + PACK::STORED_OFFSET_AT);
    head.unpacked_length = LE::read32(bytes + PACK::UNPACKED_LENGTH_AT);
    head.reserved_120 = LE::read32(bytes + 120);
    head.checksum = LE::read32(bytes + PACK::CHECKSUM_OFFSET);
    return head;
}

void SDataHead::encode(unsigned char* bytes) const
{
    std::memcpy(bytes, reserved_0, sizeof reserved_0);
    LE::write32(bytes + PACK::CONFIG_OFFSET_AT, config_offset);
    LE::write32(bytes + PACK::CONFIG_LENGTH_AT, config_length);
    LE::write32(bytes + 72, reserved_72);
    LE::write32(bytes + PACK::STORED_LENGTH_AT, stored_length);
    std::memcpy(bytes + 80, reserved_80, sizeof reserved_80);
    LE::write32(bytes + PACK::STORED_OFFSET_AT, stored_offset);
    LE::write32(bytes + PACK::UNPACKED_LENGTH_AT, unpacked_length);
    LE::write32(bytes + 120, reserved_120);
    LE::write32(bytes + PACK::CHECKSUM_OFFSET, checksum);
}
