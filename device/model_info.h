#pragma once

#include "device/nand_flash_config.h"

#include <string>
#include <vector>

enum ELooperSongFormat : int {
    LOOPER_SONG_FORMAT_OLD = 0,   // legacy slots
    LOOPER_SONG_FORMAT_FILE = 1,  // current slots with "HD" info records
    LOOPER_SONG_FORMAT_NONE = 2,  // the model stores no songs
};

struct SModelInfo {
    unsigned int product_id;
    char model_name[64];
    unsigned int song_slot_count;
    ELooperSongFormat song_format;
    const SNandFlashConfig* nand;  // null when the model stores no songs
    unsigned int replug;           // nonzero: found in application mode, it is told to re-enumerate
};

// The first row whose product ID matches, or null. 0xFFFFFFFF, the ID held before any
// device information was read, finds "Unknown Device".
const SModelInfo* get_model_info(unsigned int product_id);

// The first row of a known model named `name` (ASCII letters in any case), or null.
const SModelInfo* get_model_info_by_name(const std::string& name);
// The known models' names, each once, in the table's order.
std::vector<std::string> model_names();
