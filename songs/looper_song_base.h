#pragma once

#include "device/nand_flash_config.h"
#include "songs/looper_action_result.h"
#include "songs/nand_reader.h"
#include "songs/song_journal.h"
#include "songs/song_pages.h"

#include <QString>
#include <bitset>
#include <cstdint>
#include <vector>

class CTask;
class CUSBConnect;

// One bit per NAND block: set when the block holds audio of some slot's current song.
// 3000 is above every geometry's song_blocks, so block numbers stored on the flash are
// rejected from 3000 on.
constexpr unsigned int BLOCK_STATUS_SIZE = 3000;
using BlockStatus = std::bitset<BLOCK_STATUS_SIZE>;

// The sums of `runs` (their blocks taken in order) as write_file leaves them holding the
// `length` bytes of `data`: each block erased whole (0xFF), each page's audio zero-filled
// to whole units, the rest of each page left erased. The runs' own sums are replaced.
std::vector<SBlockRunSum> written_block_sums(const SNandFlashConfig& nand, std::vector<SBlockRunSum> runs,
                                             const unsigned char* data, uint64_t length);

// One song slot on the pedal's NAND: an info block holding a journal of info records and
// the audio blocks named by the newest record's block chain. All flash traffic goes
// through the bound CUSBConnect on the NAND flash type.
class CLooperSongBase {
public:
    CLooperSongBase() = default;
    virtual ~CLooperSongBase();
    CLooperSongBase(const CLooperSongBase&) = delete;
    CLooperSongBase& operator=(const CLooperSongBase&) = delete;

    virtual bool is_file_exist() const = 0;
    // Bytes of the current song, 0 when the slot is empty.
    virtual unsigned int get_file_length() const = 0;
    // Also makes the link the source of the load's reads.
    virtual void set_nand_block(unsigned int block, const SNandFlashConfig& config, CUSBConnect* connection);
    // Loads read through `source` from now on (it must outlive the loads); writes, audio
    // reads and deletes still go through the link.
    void set_reader(CNandReader& source) { reader = &source; }
    virtual unsigned int get_block_used() const;
    // Reads the newest info record and marks the song's blocks in `used` (bits only set).
    [[nodiscard]] virtual ELooperActionResult load_song_info(BlockStatus& used) = 0;
    [[nodiscard]] virtual unsigned int find_info_saved_page(unsigned int low, unsigned int high) = 0;
    // `size` is the capacity of `buffer`; it must hold get_file_length() bytes. With a
    // task: step (bytes copied, length) after each page but the last, the song's bytes
    // counted as they arrive, and a cancel stops the read between pages (12).
    [[nodiscard]] virtual ELooperActionResult read_file(unsigned char* buffer, unsigned int size,
                                                        CTask* task) = 0;
    // Writes the song's bytes into the blocks of `chain` (blocks no record names yet) as
    // `song` hands them out, then commits a new info record; until that commit the slot's
    // previous song stays intact. With a task: step (bytes written, length) after each
    // block, the song's bytes counted as they are written; a cancel before the commit stops
    // the write with no further flash command (12), one during the commit comes too late
    // and is ignored. A source that fails stops the write before the commit (3).
    [[nodiscard]] virtual ELooperActionResult write_song(std::vector<unsigned short> chain,
                                                         CSongPageSource& song, CTask* task) = 0;
    // The same for `length` bytes at `data`.
    [[nodiscard]] ELooperActionResult write_file(std::vector<unsigned short> chain, const unsigned char* data,
                                                 unsigned int length, CTask* task);
    // Appends `record`, an info record of this slot format naming a song already on the
    // flash (another slot's current record, as current_record() gives it), without reading
    // or writing any audio page: a full info block rolls over under the journal as a write
    // does. 0; LOOPER_RESULT_CHECKSUM_ERROR for a record that is not whole; 11, 10 or 4 as
    // for a write's commit; LOOPER_RESULT_NOT_SUPPORTED for a format whose records name no
    // chain of their own.
    [[nodiscard]] virtual ELooperActionResult write_record(const std::vector<unsigned char>& record);
    // Erases the info block only; the audio blocks count as free at the next load unless
    // another slot names them. The slot then reads as empty.
    [[nodiscard]] virtual ELooperActionResult delete_file();
    virtual void get_block_status_table(BlockStatus& table) const = 0;
    // Marks the current song's blocks in `used` (bits only set, never cleared).
    virtual void add_song_blocks(BlockStatus& used) const = 0;
    virtual void reset() = 0;
    // The newest info record was torn by an interrupted write, and the last load kept the
    // song of the intact record before it. The torn page stays where it is: a load never
    // writes, and the next record goes after it.
    bool fell_back() const { return kept_earlier; }
    // Why the last load dropped the song its record named, or empty: "Error:Block chain 2
    // greater than 3000" for a chain entry outside the block table.
    const QString& load_problem() const { return problem; }

    // Where the slot notes an erase of its info block for the next record before it erases
    // it, and whose entry it drops once that record is written or the slot deleted; null
    // for none. `slot` is the slot's 0-based number on the pedal of `product_id`.
    void set_journal(CSongJournal* target, uint32_t product_id, unsigned int slot);
    // Without a journal an info block erase for the next record is refused
    // (LOOPER_RESULT_JOURNAL_NOT_SAVED) unless this was called: for a test of the slot
    // format itself, which accepts that a cut in that erase loses the song.
    void allow_rollover_without_journal() { unprotected_rollover = true; }
    // Why the last write's journal entry could not be saved; empty when it was.
    const QString& journal_problem() const { return journal_reason; }
    // The slot's current record, as its info block holds it; empty when the slot has none.
    virtual std::vector<unsigned char> current_record() const = 0;
    // The info block page of the newest record; all ones when the block has none.
    virtual unsigned int record_page() const = 0;
    // Erases the info block and writes `record` to its first page, after an erase for the
    // next record was cut short. The object is not changed: the caller loads the slot.
    [[nodiscard]] virtual bool restore_record(const std::vector<unsigned char>& record);
    // True when the pedal's sums of the runs are those given; false too when one could not
    // be read.
    [[nodiscard]] bool blocks_hold(const std::vector<SBlockRunSum>& runs) const;
    // The pedal's sums of the current song's blocks, a run of neighbouring blocks at a time
    // (one short exchange each); false when the slot is empty or a sum could not be read.
    [[nodiscard]] bool song_sums(std::vector<SBlockRunSum>& runs) const;

protected:
    // Audio bytes one block holds.
    unsigned int block_bytes() const { return nand.page_data_size * nand.pages_per_block; }
    uint64_t blocks_for(uint64_t bytes) const;
    unsigned int page_address(unsigned int block, unsigned int page) const;
    unsigned int block_address(unsigned int block) const { return page_address(block, 0); }
    // Page of `block_index`-th chain block that holds that block's `chunk`-th page of
    // audio: the chain's first block starts in its last page, then pages 0, 1, ...
    unsigned int chunk_page(unsigned int block_index, unsigned int chunk) const;

    // Checks a chain handed to write_file against the song's length before any flash
    // traffic: 7 when the song is longer than `capacity` blocks, 6 when the chain is
    // too short, too long or names a block outside the song area.
    [[nodiscard]] ELooperActionResult check_chain(const std::vector<unsigned short>& chain,
                                                  unsigned int length, unsigned int capacity) const;
    // False, with the load problem set, when one of the get_block_used() entries of the
    // loaded `chain` lies outside the block table.
    [[nodiscard]] bool chain_in_table(const unsigned short* chain);
    // Erases each needed chain block and writes the song page by page as `song` hands it
    // out, zero-filling the last partial unit; `verify` has the pedal check each page's
    // range sum. Notes each block's sum for the journal. 0, 9, 4, 3 (the source failed) or 12.
    [[nodiscard]] ELooperActionResult write_audio(const std::vector<unsigned short>& chain,
                                                  CSongPageSource& song, bool verify, CTask* task);
    // Reads `length` bytes of audio from the chain's blocks into `buffer`. 0, 3 or 12.
    [[nodiscard]] ELooperActionResult read_audio(const unsigned short* chain, unsigned int length,
                                                 unsigned char* buffer, CTask* task);
    // What a failed flash command means: 12 when the task was cancelled, else `failure`.
    static ELooperActionResult failed(CTask* task, ELooperActionResult failure);
    [[nodiscard]] bool read_nand(unsigned int address, unsigned char* buffer, unsigned int length)
    {
        return reader->read_nand(address, buffer, length);
    }
    // Bits only set, never cleared.
    static void mark_blocks(BlockStatus& used, const unsigned short* chain, unsigned int count);
    [[nodiscard]] bool erase_info_block();
    // A new record and its song's chain: one write_audio just wrote (`written`), or one
    // already on the flash whose sums the pedal gives.
    struct SIncomingSong {
        const std::vector<unsigned char>& record;
        const std::vector<unsigned short>& chain;
        bool written = true;
    };
    // Page for the next info record: `next` while it lies in the block and the journal's
    // end is known; otherwise the info block is erased first (so no page is programmed a
    // second time) and page 0 is used, with the current and the incoming record noted in
    // the song journal before. LOOPER_RESULT_JOURNAL_NOT_SAVED, with nothing erased, when
    // the journal could not note it; LOOPER_RESULT_ERASE_FAILED when the erase failed.
    [[nodiscard]] ELooperActionResult take_record_page(unsigned int next, bool journal_known,
                                                       const SIncomingSong& incoming, unsigned int& page);
    // The incoming record is on the flash: the journal entry this write made is dropped.
    void record_committed();
    // The current song's chain; null when the slot is empty.
    virtual const unsigned short* song_chain() const = 0;

    unsigned int info_block = 0;
    SNandFlashConfig nand{};
    CUSBConnect* usb = nullptr;
    bool kept_earlier = false;
    // Cleared by reset(), which every load starts with.
    QString problem;

private:
    // The first `blocks` chain entries as runs of consecutive blocks, each at most 16 MB
    // (the range sum reply's 24-bit length field); sums not filled.
    std::vector<SBlockRunSum> block_runs(const unsigned short* chain, unsigned int blocks) const;
    // The runs' sums of the blocks as the last write_audio left them.
    std::vector<SBlockRunSum> written_sums(const std::vector<unsigned short>& chain) const;
    [[nodiscard]] bool pedal_sums(std::vector<SBlockRunSum>& runs) const;
    // False, with the journal problem set, when the erase must not begin.
    [[nodiscard]] bool note_rollover(const SIncomingSong& incoming);

    CSongJournal* journal = nullptr;
    // The pedal's 16-bit sum of each chain block the last write_audio wrote, in chain order.
    std::vector<uint32_t> last_write_block_sums;
    uint32_t journal_product = 0;
    unsigned int journal_slot = 0;
    bool unprotected_rollover = false;
    QString journal_reason;
    // The entry this object's last rollover saved, while `journalled`.
    SSongJournalEntry noted;
    bool journalled = false;
    CLinkNandReader link_reader{nullptr};
    CNandReader* reader = &link_reader;
};
