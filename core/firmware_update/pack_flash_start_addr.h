#pragma once

#include <cstdint>

// One package section and the flash address its layout starts at. Sections are erased in
// ascending and written in descending order of these addresses.
struct SPackFlashStartAddr {
    uint32_t index;       // the section's index in the package, from 0
    uint32_t start_addr;  // address of the first sector of the section's layout

    // Start addresses alone, unsigned; sections starting at one address have no order.
    bool operator<(const SPackFlashStartAddr& other) const { return start_addr < other.start_addr; }
};
