#include "emulator/demo_flash_result.h"

QString demo_flash_result_text(EDemoFlashResult result)
{
    switch (result) {
        case EDemoFlashResult::OK:
            return QStringLiteral("The demo pedal's flash file was opened.");
        case EDemoFlashResult::NO_FILE:
            return QStringLiteral("The demo pedal starts with empty flash.");
        case EDemoFlashResult::IN_USE:
            return QStringLiteral("The demo pedal is in use by another Tandora program.");
        case EDemoFlashResult::LOCK_FAILED:
            return QStringLiteral("The demo pedal's lock file could not be created.");
        case EDemoFlashResult::NOT_LOCKED:
            return QStringLiteral("The demo pedal's flash file is not locked by this program.");
        case EDemoFlashResult::READ_FAILED:
            return QStringLiteral("The demo pedal's flash file could not be read.");
        case EDemoFlashResult::WRITE_FAILED:
            return QStringLiteral("The demo pedal's flash file could not be written.");
        case EDemoFlashResult::CORRUPT:
            return QStringLiteral(
                "The demo pedal's flash file is damaged and was not loaded; reset the demo pedal "
                "to start afresh.");
        case EDemoFlashResult::NEWER_VERSION:
            return QStringLiteral("The demo pedal's flash file was written by a newer Tandora program.");
        case EDemoFlashResult::OTHER_MODEL:
            return QStringLiteral("The demo pedal's flash file belongs to another pedal model.");
    }
    return QStringLiteral("Unknown demo pedal flash result.");
}
