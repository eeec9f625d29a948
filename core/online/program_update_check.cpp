#include "core/online/program_update_check.h"

#include "core/online/my_http.h"

SProgramUpdate check_program_update(CTask* task, const SDownloadLimits& limits)
{
    SProgramUpdate update;
    QByteArray file;
    update.download =
        CMyHttp(limits, task).download_file(UPDATE_SERVER::base() + UPDATE_SERVER::EXE_INFO_PATH, file);
    if (!update.download.ok())
        return update;
    update.version = UPDATE_SERVER::read_version_file(file, update.newest);
    update.newer = update.newest > UPDATE_SERVER::own_program_version();
    update.archive = QUrl(UPDATE_SERVER::base() + UPDATE_SERVER::PROGRAM_ARCHIVE_PATH);
    return update;
}
