#include "emulator/pedal_models.h"

#include <array>

namespace {

// 2048-byte pages; the 128 KiB blocks of the mono legacy models hold 64 of them.
constexpr SFlashGeometry NAND_128K_MONO{131072, 2048, 1981};
constexpr SFlashGeometry NAND_256K_STEREO{262144, 4096, 1981};
constexpr SFlashGeometry NAND_256K_30_SLOTS{262144, 4096, 2000};
// Firmware-only models: enough for firmware sections, not sized by any song table.
constexpr SFlashGeometry NAND_SMALL{131072, 2048, 1024};

struct SRow {
    uint32_t product_id;
    const char* name;
    SFlashGeometry nand;
};

constexpr std::array<SRow, 8> MODELS{{
    {0x2711, "VX-20", NAND_SMALL},
    {0x2712, "PULSE RING", NAND_256K_30_SLOTS},
    {0x2713, "SMALL WHEEL", NAND_128K_MONO},
    {0x2714, "ECHO DECK", NAND_128K_MONO},
    {0x2715, "TINY WHEEL", NAND_128K_MONO},
    {0x2716, "DUAL WHEEL", NAND_256K_STEREO},
    {0x2717, "VX-20", NAND_SMALL},
    {0x2718, "VX-20", NAND_SMALL},
}};

}  // namespace

SPedalModel pedal_model(uint32_t product_id)
{
    for (const auto& row : MODELS) {
        if (row.product_id == product_id)
            return {row.product_id, row.name, row.nand};
    }
    return {product_id, "Unknown Pedal", NAND_SMALL};
}

SFlashGeometry pedal_program_flash_geometry()
{
    return {2048, 2048, 512};
}
