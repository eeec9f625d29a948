#pragma once

#include "core/backup/backup_manifest.h"

#include <QByteArray>
#include <QString>
#include <optional>

// Reads the manifest of the backup in `folder` and checks it against the folder: every
// readable slot's song file is there with its length and SHA-256, and no song file is
// there that the manifest does not list. The manifest, or nothing with `why` set.
std::optional<SBackupManifest> read_backup(const QString& folder, QString& why);

// The song file of `slot` in `folder`, when it still has the manifest's length and hash;
// nothing otherwise (it changed after read_backup checked it).
std::optional<QByteArray> read_backup_song(const QString& folder, const SBackupSlot& slot);
