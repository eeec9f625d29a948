#pragma once

#include "core/online/download_result.h"
#include "core/online/update_server.h"

#include <QString>
#include <QTemporaryFile>
#include <memory>

class CTask;

struct SPackageDownload {
    SDownloadResult result;
    // On success the whole package, closed, in the system's temporary folder; the file is
    // removed when this is released. Null after a failure, whose part is removed already.
    std::unique_ptr<QTemporaryFile> file;
};

// Downloads the package at `server_path` (an SFirmwareEntry's, below the server's base
// address) into a temporary file, streaming: memory stays small whatever the size.
// Blocks the calling thread; `task` (may be null) counts the bytes and cancels.
[[nodiscard]] SPackageDownload download_firmware_package(
    const QString& server_path, CTask* task, const SDownloadLimits& limits = UPDATE_SERVER::kPackageLimits);
