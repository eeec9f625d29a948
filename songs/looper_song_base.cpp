#include "songs/looper_song_base.h"

#include "device/usb_connect.h"
#include "support/task.h"

#include <QDebug>
#include <algorithm>
#include <cstring>

CLooperSongBase::~CLooperSongBase() = default;

void CLooperSongBase::set_nand_block(unsigned int block, const SNandFlashConfig& config,
                                     CUSBConnect* connection)
{
    info_block = block;
    nand = config;
    usb = connection;
    link_reader.bind(connection);
    reader = &link_reader;
}

unsigned int CLooperSongBase::get_block_used() const
{
    return static_cast<unsigned int>(blocks_for(get_file_length()));
}

ELooperActionResult CLooperSongBase::write_record(const std::vector<unsigned char>&)
{
    return LOOPER_RESULT_NOT_SUPPORTED;
}

ELooperActionResult CLooperSongBase::delete_file()
{
    if (!erase_info_block())
        return LOOPER_RESULT_ERASE_FAILED;
    // No song is to come back into the slot the user emptied. Only the entries naming the
    // song it held are this pedal's for sure.
    const std::vector<unsigned char> emptied = current_record();
    if (journal && !emptied.empty())
        journal->drop_if([&](const SSongJournalEntry& entry) {
            return entry.kind == EJournalKind::ROLLOVER && entry.product_id == journal_product &&
                   entry.slot == journal_slot &&
                   (entry.before.record == emptied || entry.after.record == emptied);
        });
    journalled = false;
    // The object must not keep the erased journal's position: a record written after it
    // would land behind erased pages, where no search looks.
    reset();
    return LOOPER_RESULT_OK;
}

bool CLooperSongBase::chain_in_table(const unsigned short* chain)
{
    const unsigned int blocks = get_block_used();
    for (unsigned int i = 0; i < blocks; ++i) {
        if (chain[i] >= BLOCK_STATUS_SIZE) {
            problem = QString::asprintf("Error:Block chain %d greater than %d", static_cast<int>(i),
                                        static_cast<int>(BLOCK_STATUS_SIZE));
            return false;
        }
    }
    return true;
}

uint64_t CLooperSongBase::blocks_for(uint64_t bytes) const
{
    const uint64_t per_block = block_bytes();
    return per_block ? (bytes + per_block - 1) / per_block : 0;
}

unsigned int CLooperSongBase::page_address(unsigned int block, unsigned int page) const
{
    return nand.base_addr + block * nand.block_size + page * nand.page_size;
}

unsigned int CLooperSongBase::chunk_page(unsigned int block_index, unsigned int chunk) const
{
    if (block_index != 0)
        return chunk;
    return chunk == 0 ? nand.pages_per_block - 1 : chunk - 1;
}

ELooperActionResult CLooperSongBase::check_chain(const std::vector<unsigned short>& chain,
                                                 unsigned int length, unsigned int capacity) const
{
    const uint64_t needed = blocks_for(length);
    if (needed > capacity || needed > nand.max_song_blocks)
        return LOOPER_RESULT_FILE_TOO_LARGE;
    if (chain.size() < needed || chain.size() > capacity)
        return LOOPER_RESULT_NO_SPACE;
    const bool outside = std::any_of(chain.begin(), chain.begin() + static_cast<long>(needed),
                                     [this](unsigned short block) { return block >= nand.song_blocks; });
    return outside ? LOOPER_RESULT_NO_SPACE : LOOPER_RESULT_OK;
}

ELooperActionResult CLooperSongBase::write_file(std::vector<unsigned short> chain, const unsigned char* data,
                                                unsigned int length, CTask* task)
{
    CSongBufferPages song(data, length);
    return write_song(std::move(chain), song, task);
}

ELooperActionResult CLooperSongBase::write_audio(const std::vector<unsigned short>& chain,
                                                 CSongPageSource& song, bool verify, CTask* task)
{
    const unsigned int length = song.length();
    std::vector<unsigned char> page(nand.page_data_size + nand.unit_size);
    last_write_block_sums.clear();
    unsigned int written = 0;
    task_begin_transfer(task);
    for (unsigned int index = 0; index < chain.size() && written < length; ++index) {
        if (task_cancelled(task))
            return LOOPER_RESULT_CANCELLED;
        const unsigned int block = chain[index];
        qDebug("Write file block=%d", static_cast<int>(block));
        if (!usb->flash_erase(FLASH_TYPE_NAND, block_address(block)))
            return failed(task, LOOPER_RESULT_ERASE_FAILED);
        // The block was erased whole (every byte 0xFF); each page write replaces `send`
        // bytes, the audio and then zeros to a whole unit.
        uint32_t block_sum = 0xFFu * nand.block_size;
        for (unsigned int chunk = 0; chunk < nand.pages_per_block && written < length; ++chunk) {
            if (task_cancelled(task))
                return LOOPER_RESULT_CANCELLED;
            const unsigned int take = std::min(nand.page_data_size, length - written);
            const unsigned int send = (take + nand.unit_size - 1) / nand.unit_size * nand.unit_size;
            if (!song.next(page.data(), take))
                return LOOPER_RESULT_READ_FAILED;
            std::fill(page.begin() + take, page.begin() + send, 0);
            block_sum -= 0xFFu * send;
            for (unsigned int k = 0; k < take; ++k)
                block_sum += page[k];
            const unsigned int address = page_address(block, chunk_page(index, chunk));
            const bool ok = verify ? usb->flash_write_and_verify(FLASH_TYPE_NAND, address, page.data(), send,
                                                                 nullptr) == FLASH_VERIFY_OK
                                   : usb->flash_write(FLASH_TYPE_NAND, address, page.data(), send, nullptr);
            if (!ok)
                return failed(task, LOOPER_RESULT_WRITE_FAILED);
            written += take;
            task_bytes(task, take);
        }
        last_write_block_sums.push_back(block_sum);
        task_step(task, written, length);
    }
    return LOOPER_RESULT_OK;
}

ELooperActionResult CLooperSongBase::read_audio(const unsigned short* chain, unsigned int length,
                                                unsigned char* buffer, CTask* task)
{
    const unsigned int blocks = static_cast<unsigned int>(blocks_for(length));
    std::vector<unsigned char> last_page;
    unsigned int copied = 0;
    task_begin_transfer(task);
    for (unsigned int index = 0; index < blocks; ++index) {
        const unsigned int block = chain[index];
        qDebug("Read file block=%d", static_cast<int>(block));
        for (unsigned int chunk = 0; chunk < nand.pages_per_block; ++chunk) {
            if (task_cancelled(task))
                return LOOPER_RESULT_CANCELLED;
            const unsigned int address = page_address(block, chunk_page(index, chunk));
            const unsigned int missing = length - copied;
            if (missing < nand.page_data_size) {
                last_page.resize(nand.page_data_size);
                if (!usb->flash_read(FLASH_TYPE_NAND, address, last_page.data(), nand.page_data_size))
                    return failed(task, LOOPER_RESULT_READ_FAILED);
                std::memcpy(buffer + copied, last_page.data(), missing);
                task_bytes(task, missing);
                task_step(task, length, length);
                return LOOPER_RESULT_OK;
            }
            if (!usb->flash_read(FLASH_TYPE_NAND, address, buffer + copied, nand.page_data_size))
                return failed(task, LOOPER_RESULT_READ_FAILED);
            copied += nand.page_data_size;
            task_bytes(task, nand.page_data_size);
            task_step(task, copied, length);
            if (copied == length)
                return LOOPER_RESULT_OK;
        }
    }
    return LOOPER_RESULT_OK;
}

ELooperActionResult CLooperSongBase::failed(CTask* task, ELooperActionResult failure)
{
    return task_cancelled(task) ? LOOPER_RESULT_CANCELLED : failure;
}

void CLooperSongBase::mark_blocks(BlockStatus& used, const unsigned short* chain, unsigned int count)
{
    for (unsigned int index = 0; index < count; ++index)
        used.set(chain[index]);
}

bool CLooperSongBase::erase_info_block()
{
    return usb->flash_erase(FLASH_TYPE_NAND, block_address(info_block));
}

ELooperActionResult CLooperSongBase::take_record_page(unsigned int next, bool journal_known,
                                                      const SIncomingSong& incoming, unsigned int& page)
{
    if (next < nand.pages_per_block && journal_known) {
        page = next;
        return LOOPER_RESULT_OK;
    }
    // A cut in the erase would leave neither song without the entry to write one back.
    if (!note_rollover(incoming))
        return LOOPER_RESULT_JOURNAL_NOT_SAVED;
    page = 0;
    return erase_info_block() ? LOOPER_RESULT_OK : LOOPER_RESULT_ERASE_FAILED;
}

void CLooperSongBase::set_journal(CSongJournal* target, uint32_t product_id, unsigned int slot)
{
    journal = target;
    journal_product = product_id;
    journal_slot = slot;
    journalled = false;
}

bool CLooperSongBase::note_rollover(const SIncomingSong& incoming)
{
    journal_reason.clear();
    journalled = false;
    if (!journal) {
        if (!unprotected_rollover)
            journal_reason = QStringLiteral("the song store has no journal");
        return unprotected_rollover;
    }
    SSongJournalEntry entry;
    entry.product_id = journal_product;
    entry.slot = journal_slot;
    entry.after.record = incoming.record;
    if (incoming.written) {
        entry.after.sums = written_sums(incoming.chain);
    } else {
        entry.after.sums =
            block_runs(incoming.chain.data(), static_cast<unsigned int>(incoming.chain.size()));
        if (!pedal_sums(entry.after.sums)) {
            journal_reason = QStringLiteral("the sums of the song's blocks could not be read");
            return false;
        }
    }
    // A few range sums of the pedal's: a song of n blocks takes n / 63 + 1 exchanges or so.
    std::vector<SBlockRunSum> runs = block_runs(song_chain(), get_block_used());
    if (is_file_exist() && pedal_sums(runs)) {
        entry.before.record = current_record();
        entry.before.sums = std::move(runs);
    }
    journalled = journal->put(entry, journal_reason);
    if (journalled)
        noted = std::move(entry);
    return journalled;
}

void CLooperSongBase::record_committed()
{
    if (journal && journalled)
        journal->drop(noted);
    journalled = false;
}

std::vector<SBlockRunSum> CLooperSongBase::block_runs(const unsigned short* chain, unsigned int blocks) const
{
    std::vector<SBlockRunSum> runs;
    if (!chain || nand.block_size == 0)
        return runs;
    const unsigned int longest = std::max(1u, 0xFFFFFFu / nand.block_size);
    for (unsigned int i = 0; i < blocks; ++i) {
        if (!runs.empty() && runs.back().first_block + runs.back().blocks == chain[i] &&
            runs.back().blocks < longest) {
            ++runs.back().blocks;
        } else {
            runs.push_back({chain[i], 1, 0});
        }
    }
    return runs;
}

std::vector<SBlockRunSum> CLooperSongBase::written_sums(const std::vector<unsigned short>& chain) const
{
    const auto blocks = static_cast<unsigned int>(std::min(last_write_block_sums.size(), chain.size()));
    std::vector<SBlockRunSum> runs = block_runs(chain.data(), blocks);
    size_t run = 0;
    unsigned int in_run = 0;
    for (unsigned int index = 0; index < blocks; ++index) {
        runs[run].sum = static_cast<uint16_t>(runs[run].sum + last_write_block_sums[index]);
        if (++in_run == runs[run].blocks) {
            ++run;
            in_run = 0;
        }
    }
    return runs;
}

std::vector<SBlockRunSum> written_block_sums(const SNandFlashConfig& nand, std::vector<SBlockRunSum> runs,
                                             const unsigned char* data, uint64_t length)
{
    // The block was erased whole (every byte 0xFF) before its pages were written; each page
    // write replaced `send` bytes (the audio, then zeros to a whole unit).
    uint64_t written = 0;
    for (SBlockRunSum& run : runs) {
        uint32_t sum = 0;
        for (unsigned int index = 0; index < run.blocks; ++index) {
            sum += 0xFFu * nand.block_size;
            for (unsigned int chunk = 0; chunk < nand.pages_per_block && written < length; ++chunk) {
                const auto take =
                    static_cast<unsigned int>(std::min<uint64_t>(nand.page_data_size, length - written));
                const unsigned int send = (take + nand.unit_size - 1) / nand.unit_size * nand.unit_size;
                sum -= 0xFFu * send;
                for (unsigned int k = 0; k < take; ++k)
                    sum += data[written + k];
                written += take;
            }
        }
        run.sum = static_cast<uint16_t>(sum);
    }
    return runs;
}

bool CLooperSongBase::pedal_sums(std::vector<SBlockRunSum>& runs) const
{
    for (SBlockRunSum& run : runs) {
        unsigned int sum = 0;
        if (!usb->flash_checksum(FLASH_TYPE_NAND, block_address(run.first_block),
                                 run.blocks * nand.block_size, sum))
            return false;
        run.sum = static_cast<uint16_t>(sum);
    }
    return true;
}

bool CLooperSongBase::blocks_hold(const std::vector<SBlockRunSum>& runs) const
{
    std::vector<SBlockRunSum> found = runs;
    if (runs.empty() || !pedal_sums(found))
        return false;
    for (size_t i = 0; i < runs.size(); ++i) {
        if (found[i].sum != runs[i].sum)
            return false;
    }
    return true;
}

bool CLooperSongBase::song_sums(std::vector<SBlockRunSum>& runs) const
{
    runs = block_runs(song_chain(), get_block_used());
    return !runs.empty() && pedal_sums(runs);
}

bool CLooperSongBase::restore_record(const std::vector<unsigned char>& record)
{
    // Erased whole again: an erase cut short leaves pages that are neither erased nor data.
    return erase_info_block() && usb->flash_write(FLASH_TYPE_NAND, page_address(info_block, 0), record.data(),
                                                  static_cast<unsigned int>(record.size()), nullptr);
}
