#pragma once

#include "emulator/demo_flash_result.h"
#include "emulator/emulated_flash_geometry.h"
#include "emulator/flash_pages.h"
#include "emulator/page_file.h"

#include <cstdint>
#include <memory>

// The demo pedal's flash file, written in place as the pedal programs and erases:
//   block 0: "TNDRFLSH", version (4) = 2, chip count (4) = 2, per chip, program flash first,
//     its erase unit size, page size and unit count (4 each), CRC-32 of the 40 bytes before (4);
//   per chip, each part on a 4096-byte boundary: the page table, 8 bytes a page (the mark
//     "PAGE" and the CRC-32 of the page's bytes; zeros: erased), then the pages' bytes at
//     page index × page size.
// All numbers little-endian. Erased pages are holes, so the file takes the disk space of
// the programmed pages and a table of 8 bytes a page. A page is written before its table
// entry, and its entry is cleared before its bytes are freed, so a program killed between
// the two leaves the page old or new. Version 1 files (one stream with a CRC at the end,
// saved at exit) are refused as damaged.
constexpr uint32_t kDemoFlashFileVersion = 2;

struct SDemoFlashChips {
    SFlashGeometry program_flash;
    SFlashGeometry nand;
};

struct SDemoFlashPages {
    std::unique_ptr<CFlashPages> program_flash;
    std::unique_ptr<CFlashPages> nand;
};

// The file's length for chips of these geometries.
[[nodiscard]] uint64_t demo_flash_file_size(const SDemoFlashChips& chips);
// Writes the header of a new file of demo_flash_file_size bytes, every page erased.
[[nodiscard]] bool start_demo_flash_file(CPageFile& file, const SDemoFlashChips& chips);
// Checks the header, the page tables and every held page against its CRC: a file damaged
// anywhere is CORRUPT. A page damaged after that fails its read. OK fills `pages`.
[[nodiscard]] EDemoFlashResult open_demo_flash_pages(const std::shared_ptr<CPageFile>& file,
                                                     const SDemoFlashChips& chips, SDemoFlashPages& pages);
