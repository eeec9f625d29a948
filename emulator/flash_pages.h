#pragma once

#include "emulator/emulated_flash_geometry.h"

#include <cstdint>
#include <memory>

// Where a flash chip keeps its programmed pages: in memory, or in a file that outlives the
// program. A page not held reads as erased. Called under the chip's lock, one at a time.
class CFlashPages {
public:
    virtual ~CFlashPages() = default;

    [[nodiscard]] virtual bool holds(uint32_t page) const = 0;
    // Copies a held page's page_size bytes to `out`; false when they cannot be had whole.
    [[nodiscard]] virtual bool load(uint32_t page, uint8_t* out) const = 0;
    // Keeps page_size bytes as the page, held from now on; false when they could not be
    // kept (the page is then as it was, or erased).
    [[nodiscard]] virtual bool store(uint32_t page, const uint8_t* bytes) = 0;
    // Lets go of the pages [first, first + count), so they read as erased.
    [[nodiscard]] virtual bool drop(uint32_t first, uint32_t count) = 0;
};

[[nodiscard]] std::unique_ptr<CFlashPages> memory_flash_pages(const SFlashGeometry& geometry);
