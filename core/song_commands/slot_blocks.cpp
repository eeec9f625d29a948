#include "core/song_commands/slot_blocks.h"

#include "core/pedal_session.h"
#include "songs/looper_song_data.h"

namespace {

uint64_t block_bytes(const SNandFlashConfig& format)
{
    return uint64_t{format.pages_per_block} * format.page_data_size;
}

}  // namespace

uint64_t blocks_for(const SNandFlashConfig& format, uint64_t length)
{
    const uint64_t padded = (length + format.unit_size - 1) / format.unit_size * format.unit_size;
    return (padded + block_bytes(format) - 1) / block_bytes(format);
}

uint64_t blocks_held(const CPedalSession& session, unsigned int slot)
{
    BlockStatus held;
    session.songs().get_file_block_status_table(slot, held);
    return session.slot_holds_song(static_cast<int>(slot)) ? held.count() : 0;
}

uint64_t free_blocks(const CPedalSession& session)
{
    const SNandFlashConfig* format = session.song_format();
    return format ? session.free_song_bytes() / block_bytes(*format) : 0;
}
