#include "songs/looper_song_data.h"

#include "device/usb_connect.h"

ELooperActionResult CLooperSongData::check_pair(unsigned int a, unsigned int b) const
{
    if (!is_open())
        return LOOPER_RESULT_NOT_OPEN;
    if (!in_range(a) || !in_range(b) || a == b)
        return LOOPER_RESULT_BAD_SLOT;
    if (slot_format != LOOPER_SONG_FORMAT_FILE)
        return LOOPER_RESULT_NOT_SUPPORTED;
    // A slot that could not be read may name any block, so its song could be any other's.
    return block_status_complete ? LOOPER_RESULT_OK : LOOPER_RESULT_READ_FAILED;
}

void CLooperSongData::mark_uncertain()
{
    block_status_complete = false;
    full_reload_needed = true;
}

bool CLooperSongData::note_change(SSongJournalEntry& entry, unsigned int slot, unsigned int after_slot,
                                  bool needed)
{
    if (!journal) {
        if (needed)
            journal_reason = QStringLiteral("the song store has no journal");
        return !needed;
    }
    entry.product_id = product_id;
    entry.before.record = song_slots[slot]->current_record();
    entry.after.record = song_slots[after_slot]->current_record();
    if (!song_slots[slot]->song_sums(entry.before.sums) || !song_slots[after_slot]->song_sums(entry.after.sums)) {
        journal_reason = QStringLiteral("the sums of the song's blocks could not be read");
        return false;
    }
    return journal->put(entry, journal_reason);
}

ELooperActionResult CLooperSongData::move_record(unsigned int from, unsigned int to)
{
    journal_reason.clear();
    const ELooperActionResult usable = check_pair(from, to);
    if (usable != LOOPER_RESULT_OK)
        return usable;
    if (!is_file_exist(from) || is_file_exist(to))
        return LOOPER_RESULT_BAD_SLOT;
    // A move is safe without the journal: a cut leaves the song in one slot or both.
    SSongJournalEntry entry;
    entry.kind = EJournalKind::MOVE;
    entry.slot = from;
    entry.other_slot = to;
    if (!note_change(entry, from, from, false))
        return LOOPER_RESULT_JOURNAL_NOT_SAVED;
    ELooperActionResult result = song_slots[to]->write_record(song_slots[from]->current_record());
    journal_reason = song_slots[to]->journal_problem();
    const bool untouched = result == LOOPER_RESULT_JOURNAL_NOT_SAVED || result == LOOPER_RESULT_CHECKSUM_ERROR;
    if (result == LOOPER_RESULT_OK)
        result = song_slots[from]->delete_file();
    if (journal && (result == LOOPER_RESULT_OK || untouched))
        journal->drop(entry);
    if (result != LOOPER_RESULT_OK && !untouched)
        mark_uncertain();
    return result;
}

ELooperActionResult CLooperSongData::swap_records(unsigned int a, unsigned int b)
{
    journal_reason.clear();
    const ELooperActionResult usable = check_pair(a, b);
    if (usable != LOOPER_RESULT_OK)
        return usable;
    if (!is_file_exist(a) || !is_file_exist(b))
        return LOOPER_RESULT_BAD_SLOT;
    SSongJournalEntry entry;
    entry.kind = EJournalKind::SWAP;
    entry.slot = a;
    entry.other_slot = b;
    if (!note_change(entry, a, b, true))
        return LOOPER_RESULT_JOURNAL_NOT_SAVED;
    ELooperActionResult result = song_slots[a]->write_record(entry.after.record);
    journal_reason = song_slots[a]->journal_problem();
    if (result == LOOPER_RESULT_JOURNAL_NOT_SAVED || result == LOOPER_RESULT_CHECKSUM_ERROR) {
        journal->drop(entry);
        return result;
    }
    if (result == LOOPER_RESULT_OK) {
        result = song_slots[b]->write_record(entry.before.record);
        journal_reason = song_slots[b]->journal_problem();
    }
    // Half done, the entry stays for the next load to finish the swap from.
    if (result == LOOPER_RESULT_OK)
        journal->drop(entry);
    else
        mark_uncertain();
    return result;
}
