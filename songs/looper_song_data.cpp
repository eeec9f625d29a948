#include "songs/looper_song_data.h"

#include "device/usb_connect.h"
#include "songs/looper_song_file.h"
#include "songs/looper_song_old.h"
#include "support/little_endian.h"
#include "support/neat.h"
#include "support/slot_song_name.h"
#include "support/units.h"

#include <QCryptographicHash>
#include <QDebug>
#include <algorithm>

CLooperSongData::CLooperSongData(CUSBConnect* connection)
    : usb(connection), random_source(NEAT::get_random_dword), link_reader(connection)
{
}

CLooperSongData::~CLooperSongData() = default;

void CLooperSongData::set_random_source(RandomSource source)
{
    random_source = source ? std::move(source) : RandomSource(NEAT::get_random_dword);
}

bool CLooperSongData::is_open() const
{
    return usb && usb->port().transfer_mode() != TRANSFER_MODE_CLOSED;
}

void CLooperSongData::release_song_buffer()
{
    song_slots.clear();
}

void CLooperSongData::alloc_song_buffer(ELooperSongFormat format, unsigned int count)
{
    release_song_buffer();
    slot_format = format;
    if (format != LOOPER_SONG_FORMAT_OLD && format != LOOPER_SONG_FORMAT_FILE)
        return;
    song_slots.reserve(count);
    for (unsigned int i = 0; i < count; ++i) {
        if (format == LOOPER_SONG_FORMAT_OLD)
            song_slots.push_back(std::make_unique<CLooperSongOld>());
        else
            song_slots.push_back(std::make_unique<CLooperSongFile>());
    }
}

std::unique_ptr<CLooperSongBase> CLooperSongData::make_slot(unsigned int slot, CNandReader& reader) const
{
    std::unique_ptr<CLooperSongBase> song;
    if (slot_format == LOOPER_SONG_FORMAT_OLD)
        song = std::make_unique<CLooperSongOld>();
    else
        song = std::make_unique<CLooperSongFile>();
    song->set_nand_block(nand.song_blocks + slot, nand, usb);
    song->set_reader(reader);
    song->set_journal(journal.get(), product_id, slot);
    return song;
}

void CLooperSongData::set_journal(CSongJournalStorage* storage)
{
    journal = storage ? std::make_unique<CSongJournal>(*storage) : nullptr;
    for (unsigned int i = 0; i < song_slots.size(); ++i)
        song_slots[i]->set_journal(journal.get(), product_id, i);
}

ELooperActionResult CLooperSongData::load_song_info()
{
    block_status_complete = false;
    full_reload_needed = true;
    load_problems.clear();
    if (!is_open())
        return LOOPER_RESULT_NOT_OPEN;
    block_status.reset();
    const SModelInfo* model = get_model_info(usb->product_id());
    if (!model)
        return LOOPER_RESULT_NOT_SUPPORTED;
    return load_slots(*model, link_reader, {});
}

ELooperActionResult CLooperSongData::load_song_info(const SModelInfo& model, CNandReader& reader)
{
    return load_slots(model, reader, {});
}

ELooperActionResult CLooperSongData::load_slots(const SModelInfo& model, CNandReader& reader,
                                                std::vector<std::unique_ptr<CLooperSongBase>> earlier)
{
    block_status_complete = false;
    full_reload_needed = true;
    if (model.product_id != product_id || model.song_format != slot_format ||
        model.song_slot_count != earlier.size())
        earlier.clear();
    alloc_song_buffer(model.song_format, model.song_slot_count);
    nand = model.nand ? *model.nand : SNandFlashConfig{};
    product_id = model.product_id;
    load_problems.clear();

    // Every slot is read even after one fails: stopping would leave the later songs'
    // blocks unmarked for the next import to overwrite. Two unreadable slots in a row mean
    // the pedal has stopped answering; every further slot would only freeze the window for
    // another reply time-out (5 s), and writes are held after any unreadable slot anyway.
    bool unreadable = false;
    bool previous_unreadable = false;
    BlockStatus marked;
    std::vector<ELooperActionResult> loaded(song_slots.size(), LOOPER_RESULT_READ_FAILED);
    size_t read_slots = 0;
    for (unsigned int i = 0; i < song_slots.size(); ++i) {
        song_slots[i]->set_nand_block(nand.song_blocks + i, nand, usb);
        song_slots[i]->set_reader(reader);
        song_slots[i]->set_journal(journal.get(), product_id, i);
        loaded[i] = load_slot(i, marked);
        read_slots = i + 1;
        // A slot that could not be read may name any block; a slot whose record is corrupt
        // names none the pedal would play.
        const bool slot_unreadable = loaded[i] == LOOPER_RESULT_READ_FAILED;
        unreadable = unreadable || slot_unreadable;
        if (slot_unreadable && previous_unreadable)
            break;
        previous_unreadable = slot_unreadable;
    }
    for (unsigned int i = 0; i < earlier.size(); ++i) {
        if (loaded[i] == LOOPER_RESULT_READ_FAILED)
            song_slots[i] = std::move(earlier[i]);
    }
    if (&reader == &link_reader) {
        recover_rollovers(loaded);
        recover_moves(loaded);
    }
    ELooperActionResult first_failure = LOOPER_RESULT_OK;
    for (size_t i = 0; i < read_slots && first_failure == LOOPER_RESULT_OK; ++i)
        first_failure = loaded[i];
    const ELooperActionResult kept = rebuild_block_status();
    if (first_failure == LOOPER_RESULT_OK)
        first_failure = kept;
    block_status_complete = !unreadable;
    full_reload_needed = first_failure != LOOPER_RESULT_OK || unreadable;
    return first_failure;
}

ELooperActionResult CLooperSongData::reload_slot(unsigned int slot)
{
    if (full_reload_needed || !in_range(slot)) {
        load_problems.clear();
        if (!is_open())
            return LOOPER_RESULT_NOT_OPEN;
        const SModelInfo* model = get_model_info(usb->product_id());
        if (!model)
            return load_song_info();
        return load_slots(*model, link_reader, std::move(song_slots));
    }
    load_problems.clear();
    if (!is_open())
        return LOOPER_RESULT_NOT_OPEN;
    // Loaded into a new object: one that cannot be read leaves the slot as it was shown.
    std::unique_ptr<CLooperSongBase> earlier = std::move(song_slots[slot]);
    song_slots[slot] = make_slot(slot, link_reader);
    BlockStatus marked;
    std::vector<ELooperActionResult> loaded(song_slots.size(), LOOPER_RESULT_READ_FAILED);
    loaded[slot] = load_slot(slot, marked);
    if (loaded[slot] == LOOPER_RESULT_READ_FAILED)
        song_slots[slot] = std::move(earlier);
    else
        recover_rollovers(loaded);
    ELooperActionResult result = loaded[slot];
    const ELooperActionResult kept = rebuild_block_status();
    if (result == LOOPER_RESULT_OK)
        result = kept;
    if (result != LOOPER_RESULT_OK) {
        full_reload_needed = true;
        block_status_complete = block_status_complete && result != LOOPER_RESULT_READ_FAILED;
    }
    return result;
}

ELooperActionResult CLooperSongData::load_slot(unsigned int slot, BlockStatus& marked)
{
    const ELooperActionResult result = song_slots[slot]->load_song_info(marked);
    const QString& problem = song_slots[slot]->load_problem();
    if (!problem.isEmpty())
        load_problems.push_back(problem);
    return result;
}

ELooperActionResult CLooperSongData::rebuild_block_status()
{
    block_status.reset();
    for (const auto& song : song_slots) {
        if (!song->fell_back())
            song->add_song_blocks(block_status);
    }
    ELooperActionResult result = LOOPER_RESULT_OK;
    for (unsigned int i = 0; i < song_slots.size(); ++i) {
        if (!song_slots[i]->fell_back())
            continue;
        BlockStatus kept;
        song_slots[i]->add_song_blocks(kept);
        if ((kept & block_status).any()) {
            qDebug("Slot %u: the song before its torn record shares blocks with another song", i);
            song_slots[i]->reset();
            result = LOOPER_RESULT_CHECKSUM_ERROR;
        } else {
            block_status |= kept;
        }
    }
    return result;
}

std::vector<unsigned int> CLooperSongData::fallback_slots() const
{
    std::vector<unsigned int> found;
    for (unsigned int i = 0; i < song_slots.size(); ++i) {
        if (song_slots[i]->fell_back())
            found.push_back(i);
    }
    return found;
}

QString CLooperSongData::fallback_notice(unsigned int slot)
{
    return QStringLiteral("The last write to %1 was interrupted; the earlier song was kept.")
        .arg(slot_song_name(slot));
}

QString CLooperSongData::recovered_notice(unsigned int slot)
{
    return QStringLiteral("%1 was recovered after an interrupted write.").arg(slot_song_name(slot));
}

QStringList CLooperSongData::take_load_problems()
{
    QStringList taken;
    taken.swap(load_problems);
    return taken;
}

bool CLooperSongData::is_file_exist(unsigned int slot) const
{
    return in_range(slot) && song_slots[slot]->is_file_exist();
}

unsigned int CLooperSongData::get_file_length(unsigned int slot) const
{
    return in_range(slot) ? song_slots[slot]->get_file_length() : 0;
}

QString CLooperSongData::get_name(unsigned int slot) const
{
    return slot_song_name(slot) + QString::asprintf(" -- (%.2f  MB)", megabytes(get_file_length(slot)));
}

QString CLooperSongData::slot_fingerprint(unsigned int slot) const
{
    if (!is_file_exist(slot))
        return {};
    const CLooperSongBase& song = *song_slots[slot];
    const std::vector<unsigned char> record = song.current_record();
    unsigned char page[4];
    LE::write32(page, song.record_page());
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(reinterpret_cast<const char*>(page), sizeof page);
    hash.addData(reinterpret_cast<const char*>(record.data()), int(record.size()));
    return QString::fromLatin1(hash.result().toHex());
}

std::vector<unsigned char> CLooperSongData::slot_record(unsigned int slot) const
{
    return is_file_exist(slot) ? song_slots[slot]->current_record() : std::vector<unsigned char>{};
}

bool CLooperSongData::slot_block_sums(unsigned int slot, std::vector<SBlockRunSum>& runs) const
{
    return is_open() && is_file_exist(slot) && song_slots[slot]->song_sums(runs);
}

ELooperActionResult CLooperSongData::read_file(unsigned int slot, unsigned char* buffer, unsigned int size,
                                               CTask* task)
{
    if (!is_open())
        return LOOPER_RESULT_NOT_OPEN;
    if (!in_range(slot))
        return LOOPER_RESULT_BAD_SLOT;
    return song_slots[slot]->read_file(buffer, size, task);
}

ELooperActionResult CLooperSongData::write_file(unsigned int slot, const unsigned char* data,
                                                unsigned int length, CTask* task)
{
    CSongBufferPages song(data, length);
    return write_file(slot, song, task);
}

ELooperActionResult CLooperSongData::write_file(unsigned int slot, CSongPageSource& song, CTask* task)
{
    const unsigned int length = song.length();
    journal_reason.clear();
    if (!is_open())
        return LOOPER_RESULT_NOT_OPEN;
    if (!in_range(slot))
        return LOOPER_RESULT_BAD_SLOT;
    if (!block_status_complete)
        return LOOPER_RESULT_READ_FAILED;

    // The slot zero-fills the last partial unit page by page, so the song is handed over
    // as it is and only the block count is taken from the padded length.
    const uint64_t padded = (uint64_t{length} + nand.unit_size - 1) / nand.unit_size * nand.unit_size;
    if (padded > UINT32_MAX)
        return LOOPER_RESULT_FILE_TOO_LARGE;
    std::vector<unsigned short> chain;
    const ELooperActionResult space = apply_space(static_cast<unsigned int>(padded), chain);
    if (space != LOOPER_RESULT_OK)
        return space;

    const ELooperActionResult result = song_slots[slot]->write_song(chain, song, task);
    journal_reason = song_slots[slot]->journal_problem();
    if (result == LOOPER_RESULT_OK) {
        // The old song's blocks stay marked as well until the next load, so a second write
        // without a reload cannot land on either song.
        for (unsigned short block : chain)
            block_status.set(block);
    } else if (result != LOOPER_RESULT_CANCELLED && result != LOOPER_RESULT_FILE_TOO_SHORT &&
               result != LOOPER_RESULT_JOURNAL_NOT_SAVED) {
        // The new record may or may not have reached the flash. A cancelled write stopped
        // before it, a song too short was refused before any flash command, and a journal
        // not saved stopped the write before its info block, so the records are still those
        // the load found.
        block_status_complete = false;
        full_reload_needed = true;
    }
    return result;
}

ELooperActionResult CLooperSongData::delete_file(unsigned int slot)
{
    if (!in_range(slot))
        return LOOPER_RESULT_BAD_SLOT;
    const ELooperActionResult result = song_slots[slot]->delete_file();
    // A failed erase may have taken part of the journal with it.
    if (result != LOOPER_RESULT_OK) {
        block_status_complete = false;
        full_reload_needed = true;
    }
    return result;
}

ELooperActionResult CLooperSongData::apply_space(unsigned int bytes, std::vector<unsigned short>& chain)
{
    const uint64_t per_block = uint64_t{nand.pages_per_block} * nand.page_data_size;
    const uint64_t needed = per_block ? (bytes + per_block - 1) / per_block : (bytes != 0);
    if (needed > nand.max_song_blocks)
        return LOOPER_RESULT_FILE_TOO_LARGE;
    chain.clear();
    QString searched = QStringLiteral("Searched blocks:");
    const unsigned int start = nand.song_blocks ? random_source() % nand.song_blocks : 0;
    auto take_free = [&](unsigned int from, unsigned int to) {
        for (unsigned int block = from; block < to && chain.size() < needed; ++block) {
            if (!block_status.test(block)) {
                chain.push_back(static_cast<unsigned short>(block));
                searched += QString::asprintf("%d,", static_cast<int>(block));
            }
        }
    };
    take_free(start, nand.song_blocks);
    take_free(0, start);
    qDebug().noquote() << searched;
    return chain.size() < needed ? LOOPER_RESULT_NO_SPACE : LOOPER_RESULT_OK;
}

void CLooperSongData::get_file_block_status_table(unsigned int slot, BlockStatus& table) const
{
    if (in_range(slot))
        song_slots[slot]->get_block_status_table(table);
}
