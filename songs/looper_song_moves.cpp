#include "songs/looper_song_data.h"

#include "device/usb_connect.h"

namespace {

// A record write that ended before its info block changed: the slot is as it was.
bool left_untouched(ELooperActionResult result)
{
    return result == LOOPER_RESULT_JOURNAL_NOT_SAVED || result == LOOPER_RESULT_CHECKSUM_ERROR;
}

}  // namespace

void CLooperSongData::mark_uncertain()
{
    block_status_complete = false;
    full_reload_needed = true;
}

ELooperActionResult CLooperSongData::begin_change(EJournalKind kind, unsigned int a, unsigned int b,
                                                  SSongJournalEntry& entry)
{
    journal_reason.clear();
    if (!is_open())
        return LOOPER_RESULT_NOT_OPEN;
    if (!in_range(a) || !in_range(b) || a == b)
        return LOOPER_RESULT_BAD_SLOT;
    if (slot_format != LOOPER_SONG_FORMAT_FILE)
        return LOOPER_RESULT_NOT_SUPPORTED;
    // A slot that could not be read may name any block, so its song could be any other's.
    if (!block_status_complete)
        return LOOPER_RESULT_READ_FAILED;
    const bool swap = kind == EJournalKind::SWAP;
    if (!is_file_exist(a) || is_file_exist(b) != swap)
        return LOOPER_RESULT_BAD_SLOT;
    entry.kind = kind;
    entry.product_id = product_id;
    entry.slot = a;
    entry.other_slot = b;
    entry.before.record = song_slots[a]->current_record();
    entry.after.record = song_slots[swap ? b : a]->current_record();
    // A move is safe without the journal: a cut leaves the song in one slot or both.
    if (!journal) {
        if (swap)
            journal_reason = QStringLiteral("the song store has no journal");
        return swap ? LOOPER_RESULT_JOURNAL_NOT_SAVED : LOOPER_RESULT_OK;
    }
    // A swap may write a record back after a cut, so its songs' blocks are checked whole
    // then; a move only ever erases a slot whose song another slot names, and its sum tells
    // this pedal from another (a 4-minute song's whole sums take most of a second).
    const auto sums = [swap](const CLooperSongBase& song, std::vector<SBlockRunSum>& runs) {
        return swap ? song.song_sums(runs) : song.first_block_sum(runs);
    };
    if (!sums(*song_slots[a], entry.before.sums) || !sums(*song_slots[swap ? b : a], entry.after.sums)) {
        journal_reason = QStringLiteral("the sums of the song's blocks could not be read");
        return LOOPER_RESULT_JOURNAL_NOT_SAVED;
    }
    return journal->put(entry, journal_reason) ? LOOPER_RESULT_OK : LOOPER_RESULT_JOURNAL_NOT_SAVED;
}

ELooperActionResult CLooperSongData::append_record(unsigned int slot,
                                                   const std::vector<unsigned char>& record)
{
    const ELooperActionResult result = song_slots[slot]->write_record(record);
    journal_reason = song_slots[slot]->journal_problem();
    return result;
}

ELooperActionResult CLooperSongData::move_record(unsigned int from, unsigned int to)
{
    SSongJournalEntry entry;
    const ELooperActionResult begun = begin_change(EJournalKind::MOVE, from, to, entry);
    if (begun != LOOPER_RESULT_OK)
        return begun;
    ELooperActionResult result = append_record(to, entry.before.record);
    const bool untouched = left_untouched(result);
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
    SSongJournalEntry entry;
    const ELooperActionResult begun = begin_change(EJournalKind::SWAP, a, b, entry);
    if (begun != LOOPER_RESULT_OK)
        return begun;
    ELooperActionResult result = append_record(a, entry.after.record);
    if (left_untouched(result)) {
        journal->drop(entry);
        return result;
    }
    if (result == LOOPER_RESULT_OK) {
        result = append_record(b, entry.before.record);
    }
    // Half done, the entry stays for the next load to finish the swap from.
    if (result == LOOPER_RESULT_OK)
        journal->drop(entry);
    else
        mark_uncertain();
    return result;
}
