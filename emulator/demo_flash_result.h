#pragma once

#include <QString>

// What became of opening, keeping or resetting the demo pedal's flash file.
enum class EDemoFlashResult {
    OK,
    NO_FILE,        // there was no file: a new one holds the pedal's fresh flash
    IN_USE,         // another program holds the lock
    LOCK_FAILED,    // the lock file could not be made
    NOT_LOCKED,     // this program did not take the lock first
    READ_FAILED,    // the file could not be read
    WRITE_FAILED,   // the file could not be written
    CORRUPT,        // not a flash file of this program, cut short or changed
    NEWER_VERSION,  // written by a later program; nothing was loaded
    OTHER_MODEL,    // its chips are not this pedal's; nothing was loaded
};

[[nodiscard]] QString demo_flash_result_text(EDemoFlashResult result);
