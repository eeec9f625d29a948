#include "songs/nand_reader.h"

#include "device/usb_connect.h"

CNandReader::~CNandReader() = default;

bool CLinkNandReader::read_nand(unsigned int address, unsigned char* buffer, unsigned int length)
{
    return usb && usb->flash_read(FLASH_TYPE_NAND, address, buffer, length);
}
