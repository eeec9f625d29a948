#pragma once

#include "songs/looper_song_base.h"

#include <cstddef>
#include <cstdint>

// Position of a song's last unit: index into the block chain, page counter inside that
// block, unit inside that page.
struct t_time {
    uint16_t block;
    uint8_t page;
    uint8_t unit;
};

// Legacy info record as it lies on the flash (little-endian, like every host the program
// runs on). It spans two pages of the mono geometry, so records sit on even pages only.
struct SOldLoopSongData {
    static constexpr unsigned int CHAIN_ENTRIES = 1300;

    char head_tag[7];  // "looper" and a zero byte
    uint8_t head_fill;
    uint8_t has_song;  // non-zero: the record describes a song
    uint8_t flag_fill;
    uint16_t reserved;
    t_time last_unit;
    uint16_t block_chain[CHAIN_ENTRIES];  // 0xFFFF past the song's last block
    char tail_tag[7];
    uint8_t tail_fill;
};
static_assert(sizeof(SOldLoopSongData) == 2624, "legacy info record is 2624 bytes on the flash");
static_assert(offsetof(SOldLoopSongData, last_unit) == 12 && offsetof(SOldLoopSongData, block_chain) == 16 &&
                  offsetof(SOldLoopSongData, tail_tag) == 2616,
              "legacy info record layout");

// The legacy slot format: a journal of SOldLoopSongData records on the even pages of the
// info block, found by a linear search downward, audio written with read-back of the
// pedal's range sum, and a song flag in the program flash after every song write.
class CLooperSongOld final : public CLooperSongBase {
public:
    static constexpr unsigned int NO_INFO_PAGE = 0xFFFFFFFE;        // -2: the next record goes to page 0
    static constexpr unsigned int SEARCH_READ_FAILED = 0xFFFFFFFB;  // -5

    CLooperSongOld();
    ~CLooperSongOld() override;

    bool is_file_exist() const override { return get_file_length() != 0; }
    // The stored length in whole units: the written length rounded up to a unit.
    unsigned int get_file_length() const override;
    [[nodiscard]] ELooperActionResult load_song_info(BlockStatus& used) override;
    // Tests the even pages from `high` down to 2 for a programmed head; 0 when none has
    // one (page 0 is then taken untested). `low` is not used.
    [[nodiscard]] unsigned int find_info_saved_page(unsigned int low, unsigned int high) override;
    [[nodiscard]] ELooperActionResult read_file(unsigned char* buffer, unsigned int size,
                                                CTask* task) override;
    [[nodiscard]] ELooperActionResult write_song(std::vector<unsigned short> chain, CSongPageSource& song,
                                                 CTask* task) override;
    void get_block_status_table(BlockStatus& table) const override;
    void add_song_blocks(BlockStatus& used) const override;
    void reset() override;
    std::vector<unsigned char> current_record() const override;
    unsigned int record_page() const override { return info_page; }
    // Writes the song flag after the record, as a write does.
    [[nodiscard]] bool restore_record(const std::vector<unsigned char>& record) override;

    // Erases the 32 KB flag area of the program flash and stores `value` there.
    [[nodiscard]] bool write_song_file_flag(unsigned int value);
    void length_convert(unsigned int length, t_time& position) const;

private:
    const unsigned short* song_chain() const override
    {
        return stored_length() ? song_info.block_chain : nullptr;
    }
    enum ERecordState { RECORD_INTACT, RECORD_TORN, RECORD_DAMAGED };

    uint64_t stored_length() const;
    ERecordState check_record(const SOldLoopSongData& record) const;

    SOldLoopSongData song_info{};
    // Newest programmed record page (its record may be torn); the next record goes two
    // pages further.
    unsigned int info_page = NO_INFO_PAGE;
    // True while the info block may hold programmed pages the object does not know of
    // (never loaded, load failed, or a record write whose outcome is unknown): the next
    // record then erases the block first instead of programming a page a second time.
    bool journal_uncertain = true;
};
