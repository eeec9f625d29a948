#include "device/flash_verify_result.h"

QString flash_verify_text(EFlashVerifyResult result)
{
    switch (result) {
        case FLASH_VERIFY_WRITE_FAILED:
            return QStringLiteral("Write data failed !");
        case FLASH_VERIFY_MISMATCH:
            return QStringLiteral("Verify data failed");
        case FLASH_VERIFY_TIMEOUT:
            return QStringLiteral("Write data timeout !");
        case FLASH_VERIFY_OK:
            break;
    }
    return {};
}
