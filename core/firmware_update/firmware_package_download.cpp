#include "core/firmware_update/firmware_package_download.h"

#include "core/online/my_http.h"

#include <QDir>

SPackageDownload download_firmware_package(const QString& server_path, CTask* task,
                                           const SDownloadLimits& limits)
{
    SPackageDownload download;
    auto file =
        std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/tandora-firmware-XXXXXX.dat"));
    if (!file->open()) {
        download.result = download_result(EDownloadOutcome::STORE_FAILED, limits, file->errorString());
        return download;
    }
    download.result = CMyHttp(limits, task).download_file(UPDATE_SERVER::base() + server_path, *file);
    // Flushing may meet a full disk as well.
    if (download.result.ok() && !file->flush())
        download.result = download_result(EDownloadOutcome::STORE_FAILED, limits, file->errorString());
    file->close();
    if (download.result.ok())
        download.file = std::move(file);
    return download;
}
