#include "device/nand_flash_config.h"
#include "device/usb_connect.h"
#include "emulator/pedal_emulator.h"
#include "emulator/virtual_midi_system.h"
#include "songs/looper_song_file.h"
#include "songs/looper_song_old.h"

#include <QtGlobal>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

// Plants arbitrary info blocks on emulated pedals and loads them: the first byte picks the
// current format (PULSE RING, records of 329 bytes on consecutive pages) or the legacy
// format (SMALL WHEEL, records of 2624 bytes on even pages); the rest is cut into records.
// Whatever the flash holds, a load must return one of its result codes, mark only blocks of
// the song's chain, and a song it accepts must be readable within its chain.
namespace {

struct SPedalLink {
    std::unique_ptr<CPedalEmulator> pedal;
    CUSBConnect usb;
};

struct SRig {
    CVirtualMidiSystem system;
    SPedalLink current;
    SPedalLink legacy;

    SRig()
    {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        install_midi_system(&system);
        plug(current, 0x2712, 0);
        plug(legacy, 0x2713, 1);
    }
    // Pedals enumerate in plug order, so the n-th pedal's ports are input n and output n.
    void plug(SPedalLink& link, uint32_t product, unsigned port)
    {
        SPedalConfig config;
        config.product_id = product;
        link.pedal = std::make_unique<CPedalEmulator>(system, config);
        if (!link.usb.open((port << 16) | port, true))
            std::abort();
    }
};

template <typename TSlot>
void load_planted(SPedalLink& link, const SNandFlashConfig& nand, unsigned record_size, unsigned page_step,
                  const uint8_t* data, size_t size)
{
    CEmulatedFlash& flash = link.pedal->nand();
    const uint32_t info = nand.base_addr + nand.song_blocks * nand.block_size;
    if (!flash.erase(info))
        std::abort();
    for (unsigned page = 0; size > 0 && page < nand.pages_per_block; page += page_step) {
        const size_t take = size < record_size ? size : record_size;
        if (!flash.program(info + page * nand.page_size, data, static_cast<uint32_t>(take)))
            std::abort();
        data += take;
        size -= take;
    }

    TSlot slot;
    slot.set_nand_block(nand.song_blocks, nand, &link.usb);
    BlockStatus used;
    const ELooperActionResult result = slot.load_song_info(used);
    if (result != LOOPER_RESULT_OK && result != LOOPER_RESULT_CHECKSUM_ERROR)
        std::abort();
    if (used.count() > slot.get_block_used() || (result != LOOPER_RESULT_OK && used.any()))
        std::abort();
    BlockStatus own;
    slot.get_block_status_table(own);
    if (slot.is_file_exist() && own != used)
        std::abort();
    // Reading costs a request per page, so only short songs are read back.
    if (slot.get_block_used() <= 1) {
        std::vector<unsigned char> song(slot.get_file_length());
        const ELooperActionResult read =
            slot.read_file(song.data(), static_cast<unsigned>(song.size()), nullptr);
        if (read != LOOPER_RESULT_OK && read != LOOPER_RESULT_READ_FAILED)
            std::abort();
    }
    link.pedal->clear_command_log();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static SRig rig;
    if (size == 0)
        return 0;
    if (data[0] & 1)
        load_planted<CLooperSongOld>(rig.legacy, g_sNand_128K_1980_MONO_BLOCKS, 2624, 2, data + 1, size - 1);
    else
        load_planted<CLooperSongFile>(rig.current, g_sNand_256K_1970_BLOCKS, 329, 1, data + 1, size - 1);
    return 0;
}
