#pragma once

#include "core/online/download_result.h"
#include "core/online/update_server.h"

#include <QUrl>

class CTask;

struct SProgramUpdate {
    SDownloadResult download;
    // What the version file says; `newest` is 0 unless it names a version number.
    UPDATE_SERVER::EVersionFile version = UPDATE_SERVER::EVersionFile::NO_VERSION;
    float newest = 0;
    // `newest` is above own_program_version(): offer `archive` to the user's browser.
    bool newer = false;
    QUrl archive;
};

// Fetches the version file (UPDATE_SERVER::EXE_INFO_PATH) and compares its version with
// the running program's. Blocks the calling thread; `task` (may be null) cancels.
[[nodiscard]] SProgramUpdate check_program_update(
    CTask* task, const SDownloadLimits& limits = UPDATE_SERVER::kSmallFileLimits);
