#pragma once

#include <QString>

// Outcome of a write with read-back of the pedal's range sum. The values are fixed: stored
// logs and callers outside the program compare them.
enum EFlashVerifyResult : int {
    FLASH_VERIFY_WRITE_FAILED = 0,
    FLASH_VERIFY_OK = 1,
    FLASH_VERIFY_MISMATCH = 3,  // written, but the pedal's sum differs from the data's
    FLASH_VERIFY_TIMEOUT = 4,   // written, but the pedal's sum did not come
};

// The program's text for a failed outcome; empty for FLASH_VERIFY_OK.
[[nodiscard]] QString flash_verify_text(EFlashVerifyResult result);
