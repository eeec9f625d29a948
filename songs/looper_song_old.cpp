#include "songs/looper_song_old.h"

#include "device/usb_connect.h"
#include "support/little_endian.h"
#include "support/task.h"

#include <QDebug>
#include <algorithm>
#include <cstring>

namespace {

constexpr char TAG[7] = {'l', 'o', 'o', 'p', 'e', 'r', '\0'};
// The pedal looks for the song flag in sixteen 2 KB sectors of its program flash.
constexpr unsigned int FLAG_AREA = 0x10000;
constexpr unsigned int FLAG_SECTOR = 0x800;
constexpr unsigned int FLAG_SECTORS = 16;

}  // namespace

CLooperSongOld::CLooperSongOld() = default;

CLooperSongOld::~CLooperSongOld() = default;

void CLooperSongOld::reset()
{
    info_page = NO_INFO_PAGE;
    song_info = SOldLoopSongData{};
    journal_uncertain = true;
    kept_earlier = false;
    problem.clear();
}

uint64_t CLooperSongOld::stored_length() const
{
    if (song_info.has_song == 0 || std::memcmp(song_info.head_tag, TAG, sizeof TAG) != 0)
        return 0;
    const t_time& last = song_info.last_unit;
    return uint64_t{last.unit + 1u} * nand.unit_size +
           (uint64_t{last.block} * nand.pages_per_block + last.page) * nand.page_data_size;
}

unsigned int CLooperSongOld::get_file_length() const
{
    return static_cast<unsigned int>(stored_length());
}

void CLooperSongOld::length_convert(unsigned int length, t_time& position) const
{
    const unsigned int units = length / nand.unit_size + (length % nand.unit_size != 0);
    const unsigned int last = units ? units - 1 : 0;
    const unsigned int per_page = nand.page_data_size / nand.unit_size;
    const unsigned int per_block = nand.pages_per_block * per_page;
    position.block = static_cast<uint16_t>(last / per_block);
    position.page = static_cast<uint8_t>(last % per_block / per_page);
    position.unit = static_cast<uint8_t>(last % per_page);
}

unsigned int CLooperSongOld::find_info_saved_page(unsigned int, unsigned int high)
{
    for (unsigned int page = high;; page -= 2) {
        unsigned char head[2];
        if (!read_nand(page_address(info_block, page), head, sizeof head))
            return SEARCH_READ_FAILED;
        // Any programmed head counts, not only the tag: a write torn after its first byte
        // leaves a page that must not be programmed again.
        if (head[0] != 0xFF || head[1] != 0xFF) {
            qDebug("%d used", static_cast<int>(page));
            return page;
        }
        qDebug("%d not used", static_cast<int>(page));
        if (page <= 2)
            return 0;
    }
}

CLooperSongOld::ERecordState CLooperSongOld::check_record(const SOldLoopSongData& record) const
{
    // The tail tag is the last thing a page program stores, so a record without it was cut
    // short (or the page was never written).
    if (std::memcmp(record.tail_tag, TAG, sizeof TAG) != 0)
        return RECORD_TORN;
    if (record.has_song == 0 || std::memcmp(record.head_tag, TAG, sizeof TAG) != 0)
        return RECORD_INTACT;
    const t_time& last = record.last_unit;
    const bool in_limits = last.page < nand.pages_per_block &&
                           last.unit < nand.page_data_size / nand.unit_size &&
                           last.block < SOldLoopSongData::CHAIN_ENTRIES;
    return in_limits ? RECORD_INTACT : RECORD_DAMAGED;
}

ELooperActionResult CLooperSongOld::load_song_info(BlockStatus& used)
{
    reset();
    const unsigned int newest = find_info_saved_page(0, nand.pages_per_block - 2);
    if (newest == SEARCH_READ_FAILED)
        return LOOPER_RESULT_READ_FAILED;
    // Walks back over torn records to the last intact one. Its song is whole: the torn
    // write put its audio into blocks that no record named.
    for (unsigned int page = newest;; page -= 2) {
        SOldLoopSongData record;
        if (!read_nand(page_address(info_block, page), reinterpret_cast<unsigned char*>(&record),
                       sizeof record))
            return LOOPER_RESULT_READ_FAILED;
        const ERecordState state = check_record(record);
        if (state == RECORD_DAMAGED) {
            qDebug("Legacy record at page %d is out of its limits", static_cast<int>(page));
            return LOOPER_RESULT_CHECKSUM_ERROR;
        }
        if (state == RECORD_INTACT) {
            song_info = record;
            kept_earlier = page != newest && stored_length() != 0;
            break;
        }
        if (page < 2)
            break;
    }
    // The next record goes after the newest programmed page, torn or not.
    info_page = newest;
    journal_uncertain = false;

    if (!chain_in_table(song_info.block_chain)) {
        song_info = SOldLoopSongData{};
        kept_earlier = false;
        return LOOPER_RESULT_OK;
    }
    add_song_blocks(used);
    return LOOPER_RESULT_OK;
}

ELooperActionResult CLooperSongOld::read_file(unsigned char* buffer, unsigned int size, CTask* task)
{
    const unsigned int length = get_file_length();
    if (length > size)
        return LOOPER_RESULT_NO_SPACE;
    if (get_block_used() == 0)
        return LOOPER_RESULT_OK;
    const CUSBConnect::CTaskScope scope(*usb, task);
    return read_audio(song_info.block_chain, length, buffer, task);
}

ELooperActionResult CLooperSongOld::write_song(std::vector<unsigned short> chain, CSongPageSource& song, CTask* task)
{
    const unsigned int length = song.length();
    ELooperActionResult result = check_chain(chain, length, SOldLoopSongData::CHAIN_ENTRIES);
    if (result != LOOPER_RESULT_OK)
        return result;
    const CUSBConnect::CTaskScope scope(*usb, task);
    result = write_audio(chain, song, true, task);
    if (result != LOOPER_RESULT_OK)
        return result;
    if (task_cancelled(task))
        return LOOPER_RESULT_CANCELLED;
    // The commit (record and song flag) runs to its end once begun: a record without its
    // flag, or a journal erased without a new record, is no state to leave the pedal in.
    const CUSBConnect::CTaskScope commit(*usb, nullptr);

    SOldLoopSongData record;
    std::memset(&record, 0xFF, sizeof record);
    std::memcpy(record.head_tag, TAG, sizeof TAG);
    std::memcpy(record.tail_tag, TAG, sizeof TAG);
    // An empty song is stored as a record without a song: a position of 0/0/0 with the
    // song byte set would read back as one unit in block 0xFFFF.
    record.has_song = length != 0 ? 1 : 0;
    record.reserved = 0;
    length_convert(length, record.last_unit);
    std::copy(chain.begin(), chain.end(), record.block_chain);

    const auto* record_bytes = reinterpret_cast<const unsigned char*>(&record);
    const std::vector<unsigned char> incoming(record_bytes, record_bytes + sizeof record);
    unsigned int page = 0;
    // NO_INFO_PAGE wraps to 0.
    const ELooperActionResult taken =
        take_record_page(info_page + 2, !journal_uncertain, {incoming, chain}, page);
    if (taken != LOOPER_RESULT_OK) {
        journal_uncertain = true;
        return taken;
    }
    if (usb->flash_write(FLASH_TYPE_NAND, page_address(info_block, page), record_bytes, sizeof record,
                         nullptr)) {
        record_committed();
        song_info = record;
        info_page = page;
        journal_uncertain = false;
        qDebug("File FAT Page=%d", static_cast<int>(page));
    } else {
        journal_uncertain = true;
        result = LOOPER_RESULT_WRITE_FAILED;
    }
    if (!write_song_file_flag(0))
        return LOOPER_RESULT_FLAG_WRITE_FAILED;
    return result;
}

std::vector<unsigned char> CLooperSongOld::current_record() const
{
    if (stored_length() == 0)
        return {};
    const auto* bytes = reinterpret_cast<const unsigned char*>(&song_info);
    return {bytes, bytes + sizeof song_info};
}

bool CLooperSongOld::restore_record(const std::vector<unsigned char>& record)
{
    return CLooperSongBase::restore_record(record) && write_song_file_flag(0);
}

void CLooperSongOld::get_block_status_table(BlockStatus& table) const
{
    table.reset();
    add_song_blocks(table);
}

void CLooperSongOld::add_song_blocks(BlockStatus& used) const
{
    mark_blocks(used, song_info.block_chain, get_block_used());
}

bool CLooperSongOld::write_song_file_flag(unsigned int value)
{
    for (unsigned int sector = 0; sector < FLAG_SECTORS; ++sector) {
        const unsigned int address = FLAG_AREA + sector * FLAG_SECTOR;
        if (!usb->flash_erase(FLASH_TYPE_SYSTEM, address)) {
            qDebug("write_song_file_flag erase failed,Addr=0x%.8x", address);
            return false;
        }
    }
    unsigned char bytes[2];
    LE::write16(bytes, value);
    return usb->flash_write(FLASH_TYPE_SYSTEM, FLAG_AREA, bytes, sizeof bytes, nullptr);
}
