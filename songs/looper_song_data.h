#pragma once

#include "device/model_info.h"
#include "songs/looper_song_base.h"
#include "songs/nand_reader.h"
#include "songs/song_pages.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CTask;
class CUSBConnect;

// The song store: one slot object per song slot of the connected pedal, the set of NAND
// blocks holding any slot's audio, and the choice of free blocks for a new song. Slot
// numbers are 0-based; the user sees them 1-based.
class CLooperSongData {
public:
    // Source of the random block where apply_space starts looking.
    using RandomSource = std::function<uint32_t()>;

    explicit CLooperSongData(CUSBConnect* connection);
    ~CLooperSongData();
    CLooperSongData(const CLooperSongData&) = delete;
    CLooperSongData& operator=(const CLooperSongData&) = delete;

    void release_song_buffer();
    void alloc_song_buffer(ELooperSongFormat format, unsigned int count);
    // Rebuilds the slot list for the connected model and loads every slot, also those
    // after a slot that failed (a failed slot reads as empty), until two slots in a row
    // cannot be read. Returns the first failure. Needed on every connection.
    [[nodiscard]] ELooperActionResult load_song_info();
    // The same for `model`, reading the NAND through `reader` rather than the link.
    [[nodiscard]] ELooperActionResult load_song_info(const SModelInfo& model, CNandReader& reader);
    // Reloads only `slot`, after an import, export or delete that changed no other slot,
    // and rebuilds the block set from every slot's chain. Loads every slot instead while
    // needs_full_reload() says so. A failed reload leaves a full reload needed.
    [[nodiscard]] ELooperActionResult reload_slot(unsigned int slot);
    // True until a load read every slot without failure, and again after any failed load,
    // write or delete: the slots held in memory may then differ from the pedal's.
    bool needs_full_reload() const { return full_reload_needed; }

    // Slots whose newest record was torn by an interrupted write and which kept the song
    // of the record before it, in slot order.
    std::vector<unsigned int> fallback_slots() const;
    // "The last write to Song 004 was interrupted; the earlier song was kept."
    static QString fallback_notice(unsigned int slot);
    // Why the last load (of every slot or of one) dropped songs its records named, and the
    // songs it recovered (recovered_notice), in the order met; each is handed out once.
    [[nodiscard]] QStringList take_load_problems();
    // "Song 004 was recovered after an interrupted write."
    static QString recovered_notice(unsigned int slot);

    // Where the store keeps its journal of info block erases (not owned; it must outlive
    // the store), or null for none, which refuses every write that must erase an info
    // block (LOOPER_RESULT_JOURNAL_NOT_SAVED). A load that finds a slot's info block blank
    // or unreadable writes back the record of an entry for the slot whose blocks still hold
    // its song, the new one first; entries that do not apply to the connected pedal (those
    // of another pedal of the model) are left alone.
    void set_journal(CSongJournalStorage* storage);
    // Why the last write_file returned LOOPER_RESULT_JOURNAL_NOT_SAVED ("No space left on
    // device"); empty after any other result.
    const QString& journal_problem() const { return journal_reason; }

    bool is_file_exist(unsigned int slot) const;
    unsigned int get_file_length(unsigned int slot) const;
    // "Song 001 -- (2.86  MB)".
    QString get_name(unsigned int slot) const;
    // What tells this song in `slot` from any other the slot held or will hold: a hash of
    // its current info record and that record's page in the info block, so any rewrite, by
    // any program or by the pedal, changes it. Empty for an empty slot.
    QString slot_fingerprint(unsigned int slot) const;
    // The info record of the song in `slot` as the slot format builds it, whatever page it
    // sits in: the same for a song moved to another slot. Empty for an empty slot.
    std::vector<unsigned char> slot_record(unsigned int slot) const;
    // The pedal's sums of the blocks of the song in `slot` (CLooperSongBase::song_sums).
    [[nodiscard]] bool slot_block_sums(unsigned int slot, std::vector<SBlockRunSum>& runs) const;
    unsigned int slot_count() const { return static_cast<unsigned int>(song_slots.size()); }

    // `task` as for the slot's read_file and write_file: progress, bytes and cancel (12).
    [[nodiscard]] ELooperActionResult read_file(unsigned int slot, unsigned char* buffer, unsigned int size,
                                                CTask* task);
    // Writes `length` bytes as the slot's new song into free blocks. Refused with 3 while
    // the block set is not known to be complete (a slot could not be read, or an earlier
    // write or delete failed and may have changed the flash) until the next load.
    [[nodiscard]] ELooperActionResult write_file(unsigned int slot, const unsigned char* data,
                                                 unsigned int length, CTask* task);
    // The same with the song handed out page by page as it is written.
    [[nodiscard]] ELooperActionResult write_file(unsigned int slot, CSongPageSource& song, CTask* task);
    [[nodiscard]] ELooperActionResult delete_file(unsigned int slot);
    // Gives the song of `from` to the empty slot `to` by records alone, no audio page read
    // or written: `to` gets a copy of `from`'s record, then `from`'s info block is erased.
    // A cut between the two leaves both slots naming the song: the journal's entry, noted
    // first when the store has a journal, lets the next load erase `from`; without it, a
    // delete of either slot leaves the other's song whole. LOOPER_RESULT_BAD_SLOT unless
    // `from` holds a song and `to` none; LOOPER_RESULT_NOT_SUPPORTED for a slot format
    // without block chains; LOOPER_RESULT_JOURNAL_NOT_SAVED, nothing written, when the
    // journal could not note it.
    [[nodiscard]] ELooperActionResult move_record(unsigned int from, unsigned int to);
    // Exchanges the songs of two slots that hold one each by their records, under the
    // journal (refused without one, LOOPER_RESULT_JOURNAL_NOT_SAVED): a cut half-way is
    // finished or undone by the next load. Without this computer's journal a cut half-way
    // can lose a song, so a swap through an empty slot (three moves) is the safer way.
    [[nodiscard]] ELooperActionResult swap_records(unsigned int a, unsigned int b);
    // Fills `chain` with the free blocks a song of `bytes` needs, in ascending order from a
    // random start, wrapping once to block 0. 7 when longer than a chain, 6 when short.
    [[nodiscard]] ELooperActionResult apply_space(unsigned int bytes, std::vector<unsigned short>& chain);
    void get_file_block_status_table(unsigned int slot, BlockStatus& table) const;

    const BlockStatus& get_block_status() const { return block_status; }
    // False until a load read every slot; writes are refused meanwhile.
    bool is_block_status_complete() const { return block_status_complete; }
    void set_random_source(RandomSource source);

private:
    bool is_open() const;
    bool in_range(unsigned int slot) const { return slot < song_slots.size(); }
    // Marks every slot's chain. A song kept from before a torn record whose blocks another
    // slot's song now holds is dropped (its blocks were free and taken):
    // LOOPER_RESULT_CHECKSUM_ERROR then, else LOOPER_RESULT_OK.
    [[nodiscard]] ELooperActionResult rebuild_block_status();
    // Loads one slot and keeps its load problem.
    [[nodiscard]] ELooperActionResult load_slot(unsigned int slot, BlockStatus& marked);
    std::unique_ptr<CLooperSongBase> make_slot(unsigned int slot, CNandReader& reader) const;
    // `earlier`: the slot objects of the load before on the same pedal; a slot that cannot
    // be read now keeps its object, so that a failed reload shows no song as gone.
    [[nodiscard]] ELooperActionResult load_slots(const SModelInfo& model, CNandReader& reader,
                                                 std::vector<std::unique_ptr<CLooperSongBase>> earlier);
    // Writes back the journalled records of the slots whose `loaded` result left their info
    // block blank or unreadable (see set_journal); drops the entries done with: those of
    // slots read whole in the state before or after the entry, and those written back.
    void recover_rollovers(std::vector<ELooperActionResult>& loaded);
    // Writes back the side of `entry` whose blocks hold its song and no other slot's.
    [[nodiscard]] bool recover_slot(unsigned int slot, const SSongJournalEntry& entry);
    // The slot, read whole, is in the state before or after the entry.
    [[nodiscard]] bool entry_done(const CLooperSongBase& song, const SSongJournalEntry& entry) const;
    // Finishes or undoes the moves and swaps of journal entries whose two slots `loaded`
    // read; drops the entries done with.
    void recover_moves(std::vector<ELooperActionResult>& loaded);
    // True when the entry is settled (done, not begun, or finished now): it may be dropped.
    [[nodiscard]] bool settle_move(const SSongJournalEntry& entry, std::vector<ELooperActionResult>& loaded);
    [[nodiscard]] bool settle_swap(const SSongJournalEntry& entry, std::vector<ELooperActionResult>& loaded);
    // Appends `record` to `slot` during a load's recovery, then loads the slot again.
    [[nodiscard]] bool rewrite_record(unsigned int slot, const std::vector<unsigned char>& record,
                                      std::vector<ELooperActionResult>& loaded);
    // Checks a move (`b` empty) or a swap (`b` holding a song) of the song in `a` and notes
    // it in the journal, `entry` filled: OK to go on, or with nothing written NOT_OPEN,
    // NOT_SUPPORTED, READ_FAILED, BAD_SLOT or JOURNAL_NOT_SAVED (a swap without a journal,
    // or a journal that could not note it).
    [[nodiscard]] ELooperActionResult begin_change(EJournalKind kind, unsigned int a, unsigned int b,
                                                   SSongJournalEntry& entry);
    // The slot's write_record, its journal problem kept.
    [[nodiscard]] ELooperActionResult append_record(unsigned int slot,
                                                    const std::vector<unsigned char>& record);
    // After a failed change of info blocks the records may differ from those loaded.
    void mark_uncertain();

    std::vector<std::unique_ptr<CLooperSongBase>> song_slots;
    BlockStatus block_status;
    CUSBConnect* usb;
    SNandFlashConfig nand{};
    bool block_status_complete = false;
    bool full_reload_needed = true;
    RandomSource random_source;
    CLinkNandReader link_reader;
    QStringList load_problems;
    ELooperSongFormat slot_format = LOOPER_SONG_FORMAT_NONE;
    uint32_t product_id = 0;
    std::unique_ptr<CSongJournal> journal;
    QString journal_reason;
};
