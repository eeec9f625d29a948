#pragma once

#include "core/backup/backup_manifest.h"

#include <QString>
#include <optional>
#include <vector>

class CPedalSession;

// One slot a restore changes. Slots are 0-based.
struct SRestoreStep {
    unsigned int slot = 0;
    bool empties = false;  // the backup had no song there: the slot is emptied
    SBackupSlot song;      // the song to write, unless it empties
};

// A restore checked as a whole before its first write: the steps in the order they run.
struct SRestorePlan {
    QString folder;
    std::vector<SRestoreStep> steps;
    // Slots the backup could not read: they are left as they are.
    std::vector<unsigned int> kept;

    // "Song 001, Song 003 will be replaced and Song 005 emptied. Continue?"
    QString question(const CPedalSession& session) const;
    uint64_t song_bytes() const;
};

// The restore of the backup `manifest` in `folder` onto the session's pedal, for the slots
// in `only` (0-based; empty: every slot), checked against the model's slot format, slot
// count, the longest chain and the free blocks: an overwrite needs room for the old and the
// new song at once, and emptied slots are emptied first. Writes run in the order that needs
// the least room at once. The plan, or nothing with `why` set.
std::optional<SRestorePlan> plan_restore(const CPedalSession& session, const QString& folder,
                                         const SBackupManifest& manifest,
                                         const std::vector<unsigned int>& only, QString& why);
