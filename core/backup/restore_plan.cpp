#include "core/backup/restore_plan.h"

#include "core/pedal_session.h"
#include "core/song_commands/slot_blocks.h"
#include "device/usb_connect.h"
#include "songs/looper_song_data.h"
#include "support/slot_song_name.h"
#include "support/units.h"

#include <algorithm>

namespace {

struct SWrite {
    SRestoreStep step;
    uint64_t needs = 0;  // blocks of the new song
    uint64_t frees = 0;  // blocks of the old song, free once the new one is committed
};

// Writes that free at least what they take go first, smallest first; then the others,
// those that free most first. No other order needs less room at its peak.
void order_writes(std::vector<SWrite>& writes)
{
    std::stable_sort(writes.begin(), writes.end(), [](const SWrite& a, const SWrite& b) {
        const bool a_gains = a.needs <= a.frees;
        const bool b_gains = b.needs <= b.frees;
        if (a_gains != b_gains)
            return a_gains;
        return a_gains ? a.needs < b.needs : a.frees > b.frees;
    });
}

QString join_names(const std::vector<unsigned int>& chosen)
{
    QStringList names;
    for (unsigned int slot : chosen)
        names << slot_song_name(slot);
    return names.join(QStringLiteral(", "));
}

}  // namespace

QString SRestorePlan::question(const CPedalSession& session) const
{
    std::vector<unsigned int> replaced;
    std::vector<unsigned int> written;
    std::vector<unsigned int> emptied;
    for (const SRestoreStep& step : steps) {
        if (step.empties)
            emptied.push_back(step.slot);
        else if (session.slot_holds_song(static_cast<int>(step.slot)))
            replaced.push_back(step.slot);
        else
            written.push_back(step.slot);
    }
    for (auto* list : {&replaced, &written, &emptied})
        std::sort(list->begin(), list->end());
    QStringList lines{QStringLiteral("Restore the backup in '%1'?").arg(folder)};
    if (!replaced.empty())
        lines << QStringLiteral("Replaced: %1").arg(join_names(replaced));
    if (!written.empty())
        lines << QStringLiteral("Written into empty slots: %1").arg(join_names(written));
    if (!emptied.empty())
        lines << QStringLiteral("Emptied: %1").arg(join_names(emptied));
    if (!kept.empty())
        lines << QStringLiteral("Kept as they are (unreadable when backed up): %1").arg(join_names(kept));
    return lines.join(QLatin1Char('\n'));
}

uint64_t SRestorePlan::song_bytes() const
{
    uint64_t bytes = 0;
    for (const SRestoreStep& step : steps)
        bytes += step.empties ? 0 : step.song.length;
    return bytes;
}

std::optional<SRestorePlan> plan_restore(const CPedalSession& session, const QString& folder,
                                         const SBackupManifest& manifest,
                                         const std::vector<unsigned int>& only, QString& why)
{
    const SModelInfo* model = session.link().model_info();
    const SNandFlashConfig* format = session.song_format();
    if (!model || !format) {
        why = QStringLiteral("This pedal keeps no songs.");
        return std::nullopt;
    }
    const SSlotFormat own = SSlotFormat::of_model(*model);
    if (manifest.slot_format != own) {
        why = QStringLiteral(
                  "The backup was made on a %1 (%2 slots); this %3 has %4 slots. Songs are not converted.")
                  .arg(manifest.model_name, manifest.slot_format.text(),
                       QString::fromLatin1(model->model_name), own.text());
        return std::nullopt;
    }
    const unsigned int count = session.songs().slot_count();
    for (const SBackupSlot& slot : manifest.songs) {
        if (slot.number > count) {
            why = QStringLiteral("The backup holds %1, but this pedal has slots 1 to %2.")
                      .arg(slot_song_name(slot.number - 1))
                      .arg(count);
            return std::nullopt;
        }
        if (slot.readable && blocks_for(*format, slot.length) > format->max_song_blocks) {
            why = QStringLiteral("%1 of the backup is longer than one song can be on this pedal.")
                      .arg(slot_song_name(slot.number - 1));
            return std::nullopt;
        }
    }
    for (unsigned int slot : only) {
        if (slot >= count) {
            why = QStringLiteral("Slot %1 does not exist: this pedal has slots 1 to %2.")
                      .arg(slot + 1)
                      .arg(count);
            return std::nullopt;
        }
    }
    if (!session.songs().is_block_status_complete()) {
        why = QStringLiteral(
            "A slot of the pedal could not be read, so its free space is not known. Reconnect it and try "
            "again.");
        return std::nullopt;
    }

    SRestorePlan plan;
    plan.folder = folder;
    std::vector<SWrite> writes;
    uint64_t free_now = free_blocks(session);
    for (unsigned int slot = 0; slot < count; ++slot) {
        if (!only.empty() && std::find(only.begin(), only.end(), slot) == only.end())
            continue;
        const auto entry = std::find_if(manifest.songs.begin(), manifest.songs.end(),
                                        [slot](const SBackupSlot& s) { return s.number == slot + 1; });
        if (entry == manifest.songs.end()) {
            if (session.slot_holds_song(static_cast<int>(slot))) {
                plan.steps.push_back({slot, true, {}});
                free_now += blocks_held(session, slot);
            }
        } else if (!entry->readable) {
            plan.kept.push_back(slot);
        } else {
            writes.push_back(
                {{slot, false, *entry}, blocks_for(*format, entry->length), blocks_held(session, slot)});
        }
    }
    order_writes(writes);
    uint64_t short_by = 0;
    for (const SWrite& write : writes) {
        if (write.needs > free_now)
            short_by = std::max(short_by, write.needs - free_now);
        free_now = free_now + write.frees - std::min(free_now, write.needs);
        plan.steps.push_back(write.step);
    }
    if (short_by > 0) {
        const double mb = megabytes(uint64_t{short_by} * format->pages_per_block * format->page_data_size);
        why = QStringLiteral("Not enough free space on the pedal: the restore needs %1 MB more.")
                  .arg(mb, 0, 'f', 2);
        return std::nullopt;
    }
    return plan;
}
