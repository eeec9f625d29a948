#pragma once

#include "core/operation_result.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

class CPedalSession;
class CTask;
class QFileDevice;

// Opens one file of a backup for writing, or null when it cannot be created. Tests hand
// out files that fail as a full disk does.
using BackupFileOpener = std::function<std::unique_ptr<QFileDevice>(const QString& path)>;

struct SBackupOptions {
    bool wav = false;            // a 48000 Hz WAV copy of each song for listening
    BackupFileOpener open_file;  // null: plain files
    // An earlier backup of the same model: the songs unchanged since are taken from it
    // instead of read from the pedal. Empty: every song is read.
    QString since;
};

// "Tandora backup PULSE RING 2026-12-07 14-03": the folder the window makes for a backup.
QString backup_folder_name(const QString& model_name, const QDateTime& when);

// Why `folder` cannot take a backup, or empty when it can: it must not exist yet or be an
// empty folder.
QString backup_target_problem(const QString& folder);

// Writes every occupied slot of the session's pedal into `folder`, with the manifest
// (backup_manifest.h). A new folder is made under `folder` + ".incomplete" and renamed at
// the end; an existing empty folder is written in place, holding the incomplete marker
// until the end; either way an interrupted backup never looks complete. A cancelled one,
// or one whose files could not be written, is removed (an existing folder is emptied). A slot that cannot be
// read is recorded as unreadable, the rest is backed up, and the result is "Incomplete backup" naming it.
[[nodiscard]] COperationResult backup_pedal(CPedalSession& session, const QString& folder,
                                            const SBackupOptions& options, CTask* task);
