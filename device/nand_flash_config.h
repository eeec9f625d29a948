#pragma once

#include <cstdint>

// Geometry of a pedal family's NAND song flash and the format of the audio stored on it.
// Block b, page p lies at base_addr + b * block_size + p * page_size.
struct SNandFlashConfig {
    uint32_t base_addr;
    uint32_t song_blocks;      // blocks 0..song_blocks-1 hold audio; slot i's info block is song_blocks + i
    uint32_t max_song_blocks;  // the longest block chain one song may have
    uint32_t block_size;       // bytes; the erase unit
    uint32_t page_size;        // bytes from one page to the next
    uint32_t pages_per_block;
    uint32_t page_data_size;  // audio bytes per page; the rest of the page stays unwritten
    uint32_t sample_rate;
    uint32_t channels;
    uint32_t bits_per_sample;
    uint32_t unit_size;  // every page write and stored length is a whole number of these
};

extern const SNandFlashConfig g_sNand_256K_1970_BLOCKS;
extern const SNandFlashConfig g_sNand_128K_1980_MONO_BLOCKS;
extern const SNandFlashConfig g_sNand_128K_1980_STEREO_BLOCKS;
