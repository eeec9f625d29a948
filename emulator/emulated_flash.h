#pragma once

#include "emulator/emulated_flash_geometry.h"
#include "emulator/flash_pages.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// CEmulatedFlash: a flash chip kept sparsely. Only pages that were programmed hold memory;
// every other byte reads as the erased value 0xFF. Programming only clears bits (the new
// byte is old AND data), erasing sets a whole erase unit back to 0xFF and frees its pages.
// A page programmed again without an erase in between is counted: on NAND that is a fault
// of the writer (the chip allows a few partial programs, and our pedals' firmware none).
// The pages live in memory unless the chip is told to keep them elsewhere (keep_pages_in);
// a place that fails to read or keep a page fails the read, program or erase at hand.
// Every member is thread-safe; addresses outside the chip are refused and change nothing.
class CEmulatedFlash {
public:
    explicit CEmulatedFlash(const SFlashGeometry& geometry);

    [[nodiscard]] const SFlashGeometry& geometry() const { return m_geometry; }
    [[nodiscard]] uint64_t size() const;
    // True when [address, address + length) lies on the chip.
    [[nodiscard]] bool contains(uint32_t address, uint64_t length) const;

    [[nodiscard]] bool erase(uint32_t address);
    // An erase of the unit holding `address` cut off half way. An erase acts on every cell
    // of the unit at once, not page by page, so no page is left whole: each programmed
    // byte has about half its bits back at 1 (a fixed pattern, OR 0x55), erased pages stay
    // erased, and the programmed pages still need an erase before they are programmed.
    [[nodiscard]] bool erase_half_way(uint32_t address);
    [[nodiscard]] bool program(uint32_t address, const uint8_t* data, uint32_t length);
    [[nodiscard]] bool read(uint32_t address, uint8_t* out, uint32_t length) const;
    [[nodiscard]] std::vector<uint8_t> read(uint32_t address, uint32_t length) const;  // empty when refused
    // Sum of the bytes of the range, modulo 65536; false when the range is refused.
    [[nodiscard]] bool sum16(uint32_t address, uint32_t length, uint16_t& sum) const;

    // Erases the whole chip (all units) and forgets the double-program count.
    [[nodiscard]] bool erase_all();
    [[nodiscard]] uint32_t double_program_count() const;
    void reset_double_program_count();
    // Pages holding memory: those programmed since their last erase.
    [[nodiscard]] uint32_t stored_page_count() const;
    [[nodiscard]] uint32_t page_count() const { return m_geometry.page_count(); }

    // Keeps the pages in `pages` from now on. With `adopt` the chip takes the pages held
    // there as its contents; without, its own pages are copied there first. False when
    // that copy fails; the chip then keeps its pages where they were.
    [[nodiscard]] bool keep_pages_in(std::unique_ptr<CFlashPages> pages, bool adopt);

private:
    // Index of the first page of the unit holding `address`; the address must be on the chip.
    uint32_t unit_first_page(uint32_t address) const;
    // Under the lock: the page's bytes, erased when it is not held; false when unreadable.
    bool page_bytes(uint32_t page, uint8_t* out) const;
    bool keep_page(uint32_t page, const uint8_t* bytes);
    bool drop_pages(uint32_t first, uint32_t count);

    SFlashGeometry m_geometry;
    uint32_t m_pages_per_unit;
    mutable std::mutex m_mutex;
    std::unique_ptr<CFlashPages> m_pages;
    uint32_t m_stored_pages = 0;
    uint32_t m_double_programs = 0;
};
