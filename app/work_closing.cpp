#include "app/work_closing.h"

namespace {

struct SWorkName {
    const char* indefinite;  // "An import"
    const char* definite;    // "The import"
};

SWorkName work_name(EWorkState state)
{
    switch (state) {
        case WORK_UPLOAD_SONG:
            return {"An export", "The export"};
        case WORK_DOWNLOAD_SONG:
            return {"An import", "The import"};
        case WORK_UPDATE_FIRMWARE:
            return {"A firmware update", "The firmware update"};
        case WORK_DELETE_SONG:
            return {"A delete", "The delete"};
        case WORK_BACKUP_SONGS:
            return {"A backup", "The backup"};
        case WORK_RESTORE_SONGS:
            return {"A restore", "The restore"};
        case WORK_SYNC_SONGS:
            return {"A set-list sync", "The set-list sync"};
        case WORK_MOVE_SONG:
            return {"A move", "The move"};
        case WORK_IDLE:
        case WORK_CONNECT:
        case WORK_PLAY_SONG:
            break;
    }
    return {"A command", "The command"};
}

}  // namespace

QString close_question(EWorkState state)
{
    return QStringLiteral("%1 is running. Cancel it and close?")
        .arg(QLatin1String(work_name(state).indefinite));
}

QString close_notice(EWorkState state)
{
    return QStringLiteral("%1 cannot stop now. The window closes when it has finished.")
        .arg(QLatin1String(work_name(state).definite));
}
