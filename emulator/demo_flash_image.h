#pragma once

#include "emulator/emulated_flash.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

// What became of saving or loading the demo pedal's flash.
enum class EDemoFlashResult {
    OK,
    NO_FILE,        // nothing saved yet: the pedal keeps the flash it has
    IN_USE,         // another program holds the lock
    LOCK_FAILED,    // the lock file could not be made
    NOT_LOCKED,     // this program did not take the lock first
    READ_FAILED,    // the file could not be read
    WRITE_FAILED,   // the file could not be written; the previous one is kept
    CORRUPT,        // not a flash file, cut short or changed; nothing was loaded
    NEWER_VERSION,  // written by a later program; nothing was loaded
    OTHER_MODEL,    // its chips are not this pedal's; nothing was loaded
};

QString demo_flash_result_text(EDemoFlashResult result);

// The flash image: both chips of a pedal, program flash first, as one byte stream.
//   "TNDRFLSH", version (4), chip count (4) = 2;
//   per chip: erase unit size, page size, unit count (4 each), then one record per stored
//     page in ascending order: page index (4), byte count n (4), the page's first n bytes
//     (its trailing erased bytes dropped); the page index 0xFFFFFFFF ends the chip;
//   CRC-32 of everything before it (4).
// All numbers little-endian. Only programmed pages are kept, so the image of a pedal with
// one song is about the size of the song.
constexpr uint32_t kDemoFlashImageVersion = 1;

// Streams the image of the two chips to `sink`, which returns false to give up; false
// when it did. Each chip is read under its own lock, so a pedal at work is taken whole
// chip by chip.
[[nodiscard]] bool write_flash_image(const CEmulatedFlash& program_flash, const CEmulatedFlash& nand,
                                     const std::function<bool(const uint8_t*, size_t)>& sink);

// Checks the whole image first; only a sound image for chips of the same geometry
// replaces the chips' contents (every page not in it is erased).
[[nodiscard]] EDemoFlashResult read_flash_image(const uint8_t* data, size_t size,
                                                CEmulatedFlash& program_flash, CEmulatedFlash& nand);
