#include "songs/looper_song_old.h"

#include "device/usb_connect.h"
#include "support/little_endian.h"
#include "support/neat.h"
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
        char head[2];
        if (!usb->flash_read(FLASH_TYPE_NAND, page_address(info_block, page),
                             reinterpret_cast<unsigned char*>(head), sizeof head))
            return SEARCH_READ_FAILED;
        if (std::equal(head, head + 2, TAG)) {
            qDebug("%d used", static_cast<int>(page));
            return page;
        }
        qDebug("%d not used", static_cast<int>(page));
        if (page <= 2)
            return 0;
    }
}

ELooperActionResult CLooperSongOld::load_song_info(BlockStatus& used)
{
    reset();
    const unsigned int page = find_info_saved_page(0, nand.pages_per_block - 2);
    if (page == SEARCH_READ_FAILED)
        return LOOPER_RESULT_READ_FAILED;
    SOldLoopSongData record;
    if (!usb->flash_read(FLASH_TYPE_NAND, page_address(info_block, page),
                         reinterpret_cast<unsigned char*>(&record), sizeof record))
        return LOOPER_RESULT_READ_FAILED;
    song_info = record;
    info_page = page;

    const uint64_t blocks = blocks_for(stored_length());
    if (blocks > SOldLoopSongData::CHAIN_ENTRIES) {
        qDebug("Song of %llu blocks exceeds the record's chain", static_cast<unsigned long long>(blocks));
        song_info = SOldLoopSongData{};
        return LOOPER_RESULT_CHECKSUM_ERROR;
    }
    journal_uncertain = false;
    if (blocks == 0)
        return LOOPER_RESULT_OK;
    for (unsigned int i = 0; i < blocks; ++i) {
        if (song_info.block_chain[i] >= BLOCK_STATUS_SIZE) {
            NEAT::AfxMessageBox("Error:Block chain %d greater than %d", static_cast<int>(i),
                                static_cast<int>(BLOCK_STATUS_SIZE));
            song_info = SOldLoopSongData{};
            return LOOPER_RESULT_OK;
        }
    }
    mark_blocks(used, song_info.block_chain, static_cast<unsigned int>(blocks));
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

ELooperActionResult CLooperSongOld::write_file(std::vector<unsigned short> chain, const unsigned char* data,
                                               unsigned int length, CTask* task)
{
    ELooperActionResult result = check_chain(chain, length, SOldLoopSongData::CHAIN_ENTRIES);
    if (result != LOOPER_RESULT_OK)
        return result;
    const CUSBConnect::CTaskScope scope(*usb, task);
    result = write_audio(chain, data, length, true, task);
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

    unsigned int page = 0;
    if (!take_record_page(info_page + 2, !journal_uncertain, page)) {  // NO_INFO_PAGE wraps to 0
        journal_uncertain = true;
        return LOOPER_RESULT_ERASE_FAILED;
    }
    if (usb->flash_write(FLASH_TYPE_NAND, page_address(info_block, page),
                         reinterpret_cast<unsigned char*>(&record), sizeof record, nullptr)) {
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

void CLooperSongOld::get_block_status_table(BlockStatus& table) const
{
    table.reset();
    mark_blocks(table, song_info.block_chain, get_block_used());
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
