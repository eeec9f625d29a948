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
        if (entry.kind != EJournalKind::ROLLOVER || entry.product_id != product_id || slot >= loaded.size() ||
            recovered[slot] || loaded[slot] == LOOPER_RESULT_READ_FAILED)
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

void CLooperSongData::recover_moves(std::vector<ELooperActionResult>& loaded)
{
    if (!journal)
        return;
    for (const SSongJournalEntry& entry : journal->entries()) {
        if (entry.kind == EJournalKind::ROLLOVER || entry.product_id != product_id ||
            entry.slot >= loaded.size() || entry.other_slot >= loaded.size())
            continue;
        // A move's source may be left half erased; a swap's slots are whole or fell back.
        const ELooperActionResult first = loaded[entry.slot];
        const bool readable = loaded[entry.other_slot] == LOOPER_RESULT_OK &&
                              (first == LOOPER_RESULT_OK ||
                               (first == LOOPER_RESULT_CHECKSUM_ERROR && entry.kind == EJournalKind::MOVE));
        if (!readable)
            continue;
        const bool settled =
            entry.kind == EJournalKind::MOVE ? settle_move(entry, loaded) : settle_swap(entry, loaded);
        if (settled)
            journal->drop(entry);
    }
}

bool CLooperSongData::settle_move(const SSongJournalEntry& entry, std::vector<ELooperActionResult>& loaded)
{
    CLooperSongBase& source = *song_slots[entry.slot];
    const bool source_damaged = loaded[entry.slot] == LOOPER_RESULT_CHECKSUM_ERROR;
    const bool in_source = !source_damaged && source.current_record() == entry.before.record;
    const bool in_target = song_slots[entry.other_slot]->current_record() == entry.before.record;
    // Neither: another pedal of the model, or the song is gone; the entry expires.
    if ((!in_source && !in_target) || !source.blocks_hold(entry.before.sums))
        return false;
    if (!in_target || !(in_source || source_damaged))
        return true;
    // The target's record is in: the source's erase, cut short or never begun, is made.
    qDebug("Slot %u: an interrupted move to slot %u is finished", entry.slot, entry.other_slot);
    if (source.delete_file() != LOOPER_RESULT_OK)
        return false;
    BlockStatus marked;
    loaded[entry.slot] = load_slot(entry.slot, marked);
    return true;
}

bool CLooperSongData::settle_swap(const SSongJournalEntry& entry, std::vector<ELooperActionResult>& loaded)
{
    CLooperSongBase& first = *song_slots[entry.slot];
    const std::vector<unsigned char> now_first = first.current_record();
    const std::vector<unsigned char> now_second = song_slots[entry.other_slot]->current_record();
    if (!first.blocks_hold(entry.before.sums) || !first.blocks_hold(entry.after.sums))
        return false;
    const std::vector<unsigned char>& song_a = entry.before.record;
    const std::vector<unsigned char>& song_b = entry.after.record;
    if ((now_first == song_a && now_second == song_b) || (now_first == song_b && now_second == song_a))
        return true;
    // The second record torn (its slot fell back to the song the first slot names now) or
    // never written: the swap is finished.
    if (now_first == song_b)
        return rewrite_record(entry.other_slot, song_a, loaded);
    // The first slot lost its record while the second kept its own: the swap is undone.
    if (now_second == song_b && now_first.empty())
        return rewrite_record(entry.slot, song_a, loaded);
    return false;
}

bool CLooperSongData::rewrite_record(unsigned int slot, const std::vector<unsigned char>& record,
                                     std::vector<ELooperActionResult>& loaded)
{
    qDebug("Slot %u: the record of an interrupted swap is written", slot);
    if (song_slots[slot]->write_record(record) != LOOPER_RESULT_OK)
        return false;
    BlockStatus marked;
    loaded[slot] = load_slot(slot, marked);
    return loaded[slot] == LOOPER_RESULT_OK && song_slots[slot]->current_record() == record;
}
