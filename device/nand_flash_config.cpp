#include "device/nand_flash_config.h"

// A unit is 64 frames of 24-bit mono on the first geometry and 62 frames on the others,
// so a page holds a whole number of units: 21 units of 192 bytes, or 11 of 186 or 372.
const SNandFlashConfig g_sNand_256K_1970_BLOCKS = {0, 1970, 160, 262144, 4096, 64, 4032, 46875, 1, 24, 192};
const SNandFlashConfig g_sNand_128K_1980_MONO_BLOCKS = {0, 1980, 650, 131072, 2048, 64, 2046, 46875, 1, 24, 186};
const SNandFlashConfig g_sNand_128K_1980_STEREO_BLOCKS = {0, 1980, 650, 262144, 4096, 64, 4092, 46875, 2, 24, 372};
