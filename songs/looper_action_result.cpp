#include "songs/looper_action_result.h"

#include "device/midi_system.h"

QString looper_action_result_text(int result)
{
    switch (result) {
        case LOOPER_RESULT_OK:
            return QStringLiteral("Successful !");
        case LOOPER_RESULT_NOT_OPEN:
            return QStringLiteral("Device not open !");
        case LOOPER_RESULT_NOT_SUPPORTED:
            return QStringLiteral("Device not support !");
        case LOOPER_RESULT_READ_FAILED:
        case LOOPER_RESULT_WRITE_FAILED:
            return QStringLiteral("Read data failed!");
        case LOOPER_RESULT_CHECKSUM_ERROR:
            return QStringLiteral("Checksum error!");
        case LOOPER_RESULT_NO_SPACE:
        case LOOPER_RESULT_BAD_SLOT:
            return QStringLiteral("Space not enough!");
        case LOOPER_RESULT_FILE_TOO_LARGE:
            return QStringLiteral("File too large!");
        case LOOPER_RESULT_ERASE_FAILED:
            return QStringLiteral("FLASH erase failed!");
        case LOOPER_RESULT_INFO_ERASE_FAILED:
            return QStringLiteral("File info erase failed!");
        case LOOPER_RESULT_FLAG_WRITE_FAILED:
            return QStringLiteral("Write wav flag failed!");
        case LOOPER_RESULT_CANCELLED:
            return QStringLiteral("Cancelled !");
        case LOOPER_RESULT_FILE_TOO_SHORT:
            return QStringLiteral("File too short!");
        case LOOPER_RESULT_JOURNAL_NOT_SAVED:
            return journal_not_saved_text(QStringLiteral("the reason is unknown"));
        case LOOPER_RESULT_MIDI_SERVICE_STOPPED:
            return midi_service_stopped_text();
        default:
            return QStringLiteral("Failed !");
    }
}

QString journal_not_saved_text(const QString& reason)
{
    return QStringLiteral("The song journal could not be saved: %1. Nothing was written.").arg(reason);
}
