#pragma once

#include "device/model_info.h"
#include "songs/looper_song_base.h"

#include <QString>
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
    // cannot be read. Returns the first failure.
    [[nodiscard]] ELooperActionResult load_song_info();

    bool is_file_exist(unsigned int slot) const;
    unsigned int get_file_length(unsigned int slot) const;
    // "Song 001 -- (2.86  MB)".
    QString get_name(unsigned int slot) const;
    unsigned int slot_count() const { return static_cast<unsigned int>(song_slots.size()); }

    // `task` as for the slot's read_file and write_file: progress, bytes and cancel (12).
    [[nodiscard]] ELooperActionResult read_file(unsigned int slot, unsigned char* buffer, unsigned int size,
                                                CTask* task);
    // Writes `length` bytes as the slot's new song into free blocks. Refused with 3 while
    // the block set is not known to be complete (a slot could not be read, or an earlier
    // write or delete failed and may have changed the flash) until the next load.
    [[nodiscard]] ELooperActionResult write_file(unsigned int slot, const unsigned char* data,
                                                 unsigned int length, CTask* task);
    [[nodiscard]] ELooperActionResult delete_file(unsigned int slot);
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

    std::vector<std::unique_ptr<CLooperSongBase>> song_slots;
    BlockStatus block_status;
    CUSBConnect* usb;
    SNandFlashConfig nand{};
    bool block_status_complete = false;
    RandomSource random_source;
};
