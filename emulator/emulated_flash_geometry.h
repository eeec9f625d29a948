#pragma once

#include <cstdint>

// The layout of one emulated flash chip.
struct SFlashGeometry {
    uint32_t erase_unit_size;  // bytes; an erase clears the whole unit holding the address
    uint32_t page_size;        // bytes; the programming unit, and the grain of sparse storage
    uint32_t unit_count;       // erase units on the chip

    [[nodiscard]] uint32_t page_count() const { return erase_unit_size / page_size * unit_count; }
};
