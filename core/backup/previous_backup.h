#pragma once

#include "core/backup/backup_manifest.h"

#include <QString>
#include <optional>

class CPedalSession;

// An earlier backup of the same pedal model: a new backup takes from it the song files of
// the slots whose song has not changed since, and reads only the others from the pedal.
class CPreviousBackup {
public:
    // The backup in `folder` when it can serve one of the session's pedal: whole, its files
    // matching its manifest, of the same model. Otherwise nothing, and `why` says why not.
    static std::optional<CPreviousBackup> open(const CPedalSession& session, const QString& folder,
                                               QString& why);

    // An earlier entry of the song of `length` bytes whose blocks the pedal sums to `sums`,
    // in whatever slot it was then (songs are reordered by their records alone): the same
    // length and block sums, and a song file, a regular one and no symlink, whose bytes give
    // those sums (proven_block_sums); null when there is none.
    const SBackupSlot* unchanged(uint32_t length, const std::vector<SBlockRunSum>& sums) const;
    // Where the song file of `entry` lies.
    QString song_path(const SBackupSlot& entry) const;

private:
    CPreviousBackup(QString folder, SBackupManifest manifest, const SNandFlashConfig& format);
    [[nodiscard]] bool song_file_proven(const SBackupSlot& entry) const;

    QString m_folder;
    SBackupManifest m_manifest;
    SNandFlashConfig m_format;
};

// The newest backup of the model `product_id` directly in `parent` (its manifest's date),
// or empty when there is none.
QString latest_backup_in(const QString& parent, uint32_t product_id);

// Puts the file `from` at `to`: a hard link where the file system allows one, else a copy.
bool link_or_copy(const QString& from, const QString& to);
