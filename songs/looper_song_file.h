#pragma once

#include "songs/looper_song_base.h"

#include <boost/shared_array.hpp>

// The current slot format. Every write appends an info record to the next page of the
// slot's info block; the newest record (the last page starting with "HD") names the song.
// Record, little-endian, n = max_song_blocks: "HD", flag 0xFF, length in whole units (4),
// n chain entries (2 each, 0xFFFF past the song), 16-bit byte sum of offsets 2..6+2n.
class CLooperSongFile final : public CLooperSongBase {
public:
    static constexpr unsigned int NO_INFO_PAGE = 0xFFFFFFFF;

    CLooperSongFile();
    ~CLooperSongFile() override;

    bool is_file_exist() const override { return file_length != 0; }
    unsigned int get_file_length() const override { return file_length; }
    unsigned int get_block_used() const override;
    [[nodiscard]] ELooperActionResult load_song_info(BlockStatus& used) override;
    // Binary search between two pages for the last one whose head is programmed; never reads
    // page `low` itself. NO_INFO_PAGE when a read failed. At most 6 reads for 64 pages.
    [[nodiscard]] unsigned int find_info_saved_page(unsigned int low, unsigned int high) override;
    [[nodiscard]] ELooperActionResult read_file(unsigned char* buffer, unsigned int size,
                                                CTask* task) override;
    [[nodiscard]] ELooperActionResult write_song(std::vector<unsigned short> chain, CSongPageSource& song,
                                                 CTask* task) override;
    [[nodiscard]] ELooperActionResult write_record(const std::vector<unsigned char>& record) override;
    // The info block is then known to be erased whole: the next record goes to its first
    // page without another erase, so a move into an emptied slot never rolls it over.
    [[nodiscard]] ELooperActionResult delete_file() override;
    void get_block_status_table(BlockStatus& table) const override;
    void add_song_blocks(BlockStatus& used) const override;
    void reset() override;
    std::vector<unsigned char> current_record() const override;
    unsigned int record_page() const override { return info_page; }

private:
    const unsigned short* song_chain() const override { return file_length ? block_chain.get() : nullptr; }
    unsigned int chain_capacity() const { return nand.max_song_blocks; }
    unsigned int record_size() const { return 2 * chain_capacity() + 9; }
    enum ERecordState { RECORD_INTACT, RECORD_TORN, RECORD_DAMAGED };

    std::vector<unsigned char> build_record(unsigned int units, const unsigned short* chain) const;
    [[nodiscard]] bool page_has_record(unsigned int page, bool& has_record);
    // `record` holds a whole record from its magic on.
    ERecordState check_record(const std::vector<unsigned char>& record) const;
    void take_record(const std::vector<unsigned char>& record);
    // Appends `record` after the newest programmed page (rolling over a full info block)
    // and makes it the slot's song.
    [[nodiscard]] ELooperActionResult commit_record(const std::vector<unsigned char>& record,
                                                    const SIncomingSong& incoming);

    // Newest programmed page of the info block (its record may be torn); the next record
    // goes to the page after it.
    unsigned int info_page = NO_INFO_PAGE;
    unsigned char info_flag = 0;
    unsigned int file_length = 0;
    boost::shared_array<unsigned short> block_chain;
    // True while the info block may hold programmed pages past info_page (never loaded,
    // load failed, or a record write whose outcome is unknown): the next record then
    // erases the block first instead of programming a page a second time.
    bool journal_uncertain = true;
};
