#include "songs/looper_song_file.h"

#include "device/usb_connect.h"
#include "support/little_endian.h"
#include "support/neat.h"
#include "support/task.h"

#include <QDebug>
#include <algorithm>

namespace {

constexpr unsigned char MAGIC[2] = {0x48, 0x44};  // "HD"
constexpr unsigned char RECORD_FLAG = 0xFF;
constexpr unsigned short UNUSED_ENTRY = 0xFFFF;

}  // namespace

CLooperSongFile::CLooperSongFile() = default;

CLooperSongFile::~CLooperSongFile() = default;

unsigned int CLooperSongFile::get_block_used() const
{
    return static_cast<unsigned int>(blocks_for(file_length));
}

void CLooperSongFile::reset()
{
    file_length = 0;
    info_page = NO_INFO_PAGE;
    block_chain.reset();
    journal_uncertain = true;
    kept_earlier = false;
    problem.clear();
}

bool CLooperSongFile::page_has_record(unsigned int page, bool& has_record)
{
    unsigned char head[2];
    if (!read_nand(page_address(info_block, page), head, sizeof head))
        return false;
    // Any programmed head counts, not only "HD": a write torn after its first byte leaves
    // a page that must not be programmed again, and that hides no newer record behind it.
    has_record = head[0] != 0xFF || head[1] != 0xFF;
    return true;
}

unsigned int CLooperSongFile::find_info_saved_page(unsigned int low, unsigned int high)
{
    while (low < high) {
        const unsigned int mid = (low + high + 1) / 2;
        bool used = false;
        if (!page_has_record(mid, used)) {
            qDebug("Find between %d ~ %d; ", static_cast<int>(low), static_cast<int>(high));
            return NO_INFO_PAGE;
        }
        // One line per step, as the step's two parts read together.
        qDebug(used ? "Find between %d ~ %d; %d used" : "Find between %d ~ %d; %d not used",
               static_cast<int>(low), static_cast<int>(high), static_cast<int>(mid));
        if (used)
            low = mid;
        else
            high = mid - 1;
    }
    qDebug("Find finished=%d", static_cast<int>(low));
    return low;
}

CLooperSongFile::ERecordState CLooperSongFile::check_record(const std::vector<unsigned char>& record) const
{
    const unsigned int n = chain_capacity();
    const unsigned int summed = 2 * n + 5;
    const unsigned int sum = NEAT::GetChecksumByByte(&record[2], static_cast<int>(summed)) & 0xFFFF;
    const bool sound = std::equal(MAGIC, MAGIC + 2, record.begin()) &&
                       sum == LE::read16(&record[2 + summed]) &&
                       blocks_for(uint64_t{LE::read32(&record[3])} * nand.unit_size) <= n;
    if (sound)
        return RECORD_INTACT;
    // A page program stores the record front to back, so one cut short has not reached the
    // checksum's last byte; a record complete to its end but wrong is damaged, not torn.
    return record.back() == 0xFF ? RECORD_TORN : RECORD_DAMAGED;
}

void CLooperSongFile::take_record(const std::vector<unsigned char>& record)
{
    const unsigned int n = chain_capacity();
    info_flag = record[2];
    file_length = LE::read32(&record[3]) * nand.unit_size;
    block_chain.reset(new unsigned short[n]);
    for (unsigned int i = 0; i < n; ++i)
        block_chain[i] = static_cast<unsigned short>(LE::read16(&record[7 + 2 * i]));
}

ELooperActionResult CLooperSongFile::load_song_info(BlockStatus& used)
{
    reset();
    unsigned char head[2];
    if (!read_nand(page_address(info_block, 0), head, sizeof head))
        return LOOPER_RESULT_READ_FAILED;
    if (head[0] == 0xFF && head[1] == 0xFF) {
        journal_uncertain = false;
        return LOOPER_RESULT_OK;
    }
    const unsigned int newest = find_info_saved_page(0, nand.pages_per_block - 1);
    if (newest == NO_INFO_PAGE)
        return LOOPER_RESULT_READ_FAILED;

    // Walks back over torn records to the last intact one. Its song is whole: the torn
    // write put its audio into blocks that no record named.
    std::vector<unsigned char> record(record_size());
    for (unsigned int page = newest + 1; page-- > 0;) {
        if (!read_nand(page_address(info_block, page), record.data(),
                       static_cast<unsigned int>(record.size())))
            return LOOPER_RESULT_READ_FAILED;
        const ERecordState state = check_record(record);
        if (state == RECORD_DAMAGED)
            return LOOPER_RESULT_CHECKSUM_ERROR;
        if (state == RECORD_INTACT) {
            take_record(record);
            kept_earlier = page != newest && file_length != 0;
            break;
        }
    }
    // The next record goes after the newest programmed page, torn or not.
    info_page = newest;
    journal_uncertain = false;

    if (!chain_in_table(block_chain.get())) {
        file_length = 0;
        block_chain.reset();
        kept_earlier = false;
        return LOOPER_RESULT_OK;
    }
    add_song_blocks(used);
    return LOOPER_RESULT_OK;
}

ELooperActionResult CLooperSongFile::read_file(unsigned char* buffer, unsigned int size, CTask* task)
{
    if (file_length > size)
        return LOOPER_RESULT_NO_SPACE;
    if (get_block_used() == 0)
        return LOOPER_RESULT_OK;
    const CUSBConnect::CTaskScope scope(*usb, task);
    return read_audio(block_chain.get(), file_length, buffer, task);
}

std::vector<unsigned char> CLooperSongFile::build_record(unsigned int units,
                                                         const unsigned short* chain) const
{
    const unsigned int n = chain_capacity();
    std::vector<unsigned char> record(record_size());
    record[0] = MAGIC[0];
    record[1] = MAGIC[1];
    record[2] = RECORD_FLAG;
    LE::write32(&record[3], units);
    for (unsigned int i = 0; i < n; ++i)
        LE::write16(&record[7 + 2 * i], chain[i]);
    const unsigned int sum = NEAT::GetChecksumByByte(&record[2], static_cast<int>(2 * n + 5));
    LE::write16(&record[7 + 2 * n], sum & 0xFFFF);
    return record;
}

ELooperActionResult CLooperSongFile::write_song(std::vector<unsigned short> chain, CSongPageSource& song,
                                                CTask* task)
{
    const unsigned int length = song.length();
    // The record counts whole units only: a shorter song would be stored as none.
    if (length < nand.unit_size)
        return LOOPER_RESULT_FILE_TOO_SHORT;
    const unsigned int n = chain_capacity();
    ELooperActionResult result = check_chain(chain, length, n);
    if (result != LOOPER_RESULT_OK)
        return result;
    const CUSBConnect::CTaskScope scope(*usb, task);
    result = write_audio(chain, song, false, task);
    if (result != LOOPER_RESULT_OK)
        return result;
    if (task_cancelled(task))
        return LOOPER_RESULT_CANCELLED;
    // The commit switches the slot to the new song and may first erase the journal: once
    // begun it runs to its end, as a cut-off commit would leave the slot's state unknown.
    const CUSBConnect::CTaskScope commit(*usb, nullptr);

    std::vector<unsigned short> new_chain(n, UNUSED_ENTRY);
    std::copy(chain.begin(), chain.end(), new_chain.begin());
    const std::vector<unsigned char> record = build_record(length / nand.unit_size, new_chain.data());
    const ELooperActionResult committed = commit_record(record, {record, chain});
    // Until the next load the song reads back as long as it was written.
    if (committed == LOOPER_RESULT_OK)
        file_length = length;
    return committed;
}

ELooperActionResult CLooperSongFile::write_record(const std::vector<unsigned char>& record)
{
    if (record.size() != record_size() || check_record(record) != RECORD_INTACT)
        return LOOPER_RESULT_CHECKSUM_ERROR;
    std::vector<unsigned short> chain;
    const uint64_t blocks = blocks_for(uint64_t{LE::read32(&record[3])} * nand.unit_size);
    for (unsigned int i = 0; i < blocks; ++i)
        chain.push_back(static_cast<unsigned short>(LE::read16(&record[7 + 2 * i])));
    if (std::any_of(chain.begin(), chain.end(),
                    [this](unsigned short block) { return block >= nand.song_blocks; }))
        return LOOPER_RESULT_CHECKSUM_ERROR;
    return commit_record(record, {record, chain, false});
}

ELooperActionResult CLooperSongFile::delete_file()
{
    const ELooperActionResult result = CLooperSongBase::delete_file();
    journal_uncertain = result != LOOPER_RESULT_OK;
    return result;
}

ELooperActionResult CLooperSongFile::commit_record(const std::vector<unsigned char>& record,
                                                   const SIncomingSong& incoming)
{
    unsigned int page = 0;
    // NO_INFO_PAGE wraps to 0.
    const ELooperActionResult taken = take_record_page(info_page + 1, !journal_uncertain, incoming, page);
    if (taken != LOOPER_RESULT_OK) {
        journal_uncertain = true;
        return taken;
    }
    if (!usb->flash_write(FLASH_TYPE_NAND, page_address(info_block, page), record.data(),
                          static_cast<unsigned int>(record.size()), nullptr)) {
        journal_uncertain = true;
        return LOOPER_RESULT_WRITE_FAILED;
    }
    record_committed();
    take_record(record);
    kept_earlier = false;
    info_page = page;
    journal_uncertain = false;
    qDebug("File FAT Page=%d", static_cast<int>(page));
    return LOOPER_RESULT_OK;
}

std::vector<unsigned char> CLooperSongFile::current_record() const
{
    if (file_length == 0)
        return {};
    return build_record(file_length / nand.unit_size, block_chain.get());
}

void CLooperSongFile::get_block_status_table(BlockStatus& table) const
{
    if (file_length == 0)
        return;
    table.reset();
    add_song_blocks(table);
}

void CLooperSongFile::add_song_blocks(BlockStatus& used) const
{
    if (file_length != 0)
        mark_blocks(used, block_chain.get(), get_block_used());
}
