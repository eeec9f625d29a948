#pragma once

#include "emulator/emulated_flash.h"

#include <cstdint>
#include <string>

// The emulated pedals' own table of models, kept apart from the program's so the two can
// disagree. The NAND is sized to hold every song block and every slot's info block:
// 1970 + 30 blocks on the PULSE RING, 1980 + 1 on the single-slot models. Models without
// song storage (the VX-20 family, unknown IDs) still get a NAND for firmware sections.
struct SPedalModel {
    uint32_t product_id;
    std::string name;  // also the name of the pedal's USB-MIDI ports
    SFlashGeometry nand;
};

// The row for `product_id`; unknown IDs get the name "Unknown Pedal" and the small NAND.
SPedalModel pedal_model(uint32_t product_id);

// The program flash of every model: 1 MiB in 2048-byte sectors.
SFlashGeometry pedal_program_flash_geometry();

// Address of the 16-byte device information record on the program flash: version,
// product ID, third word, one unused word, each little-endian.
constexpr uint32_t PEDAL_DEVICE_INFO_ADDRESS = 0x2180;

// First address of the application area of the program flash. Below it lie the update
// mode's own code and the device information record, which a firmware update leaves alone;
// the area holds the application's code from here to the end of the 1 MiB flash.
constexpr uint32_t PEDAL_APPLICATION_START = 0x40000;
