#include "songs/looper_song_data.h"

#include <QDebug>
#include <algorithm>

// Entries are matched by the slot's state, never by product ID and slot alone: two pedals
// of one model each leave entries for their slot 4, and only the pedal whose state an
// entry describes may use or drop it.
void CLooperSongData::recover_rollovers(std::vector<ELooperActionResult>& loaded)
{
    if (!journal)
        return;
    // Newest first: the latest erase of a slot is the one a cut interrupted.
    std::vector<SSongJournalEntry> found = journal->entries();
    std::reverse(found.begin(), found.end());
    std::vector<bool> recovered(loaded.size(), false);
    for (const SSongJournalEntry& entry : found) {
        const unsigned int slot = entry.slot;
        if (entry.product_id != product_id || slot >= loaded.size() || recovered[slot] ||
            loaded[slot] == LOOPER_RESULT_READ_FAILED)
            continue;
        CLooperSongBase& song = *song_slots[slot];
        // A record read whole: the erase never began, or the record after it was written.
        if (loaded[slot] == LOOPER_RESULT_OK && song.is_file_exist()) {
            if (entry_done(song, entry))
                journal->drop(entry);
            continue;
        }
        if (!recover_slot(slot, entry))
            continue;
        BlockStatus marked;
        loaded[slot] = load_slot(slot, marked);
        if (loaded[slot] == LOOPER_RESULT_OK && song.is_file_exist()) {
            load_problems.push_back(recovered_notice(slot));
            journal->drop(entry);
            recovered[slot] = true;
        }
    }
}

bool CLooperSongData::entry_done(const CLooperSongBase& song, const SSongJournalEntry& entry) const
{
    const std::vector<unsigned char> record = song.current_record();
    const auto is_now = [&](const SJournalRecord& side) {
        return side.record == record && song.blocks_hold(side.sums);
    };
    return is_now(entry.before) || is_now(entry.after);
}

bool CLooperSongData::recover_slot(unsigned int slot, const SSongJournalEntry& entry)
{
    BlockStatus others;
    for (unsigned int i = 0; i < song_slots.size(); ++i) {
        if (i != slot)
            song_slots[i]->add_song_blocks(others);
    }
    CLooperSongBase& song = *song_slots[slot];
    // The new song first: its blocks were written whole before the erase began.
    for (const SJournalRecord* side : {&entry.after, &entry.before}) {
        if (side->record.empty())
            continue;
        const bool taken = std::any_of(side->sums.begin(), side->sums.end(), [&](const SBlockRunSum& run) {
            for (unsigned int block = run.first_block; block < run.first_block + run.blocks; ++block) {
                if (block >= others.size() || others.test(block))
                    return true;
            }
            return false;
        });
        if (taken || !song.blocks_hold(side->sums))
            continue;
        qDebug("Slot %u: the record of an interrupted info block erase is written back", slot);
        return song.restore_record(side->record);
    }
    return false;
}
