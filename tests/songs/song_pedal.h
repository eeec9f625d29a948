#pragma once

#include "device/nand_flash_config.h"
#include "device/usb_connect.h"
#include "emulator/pedal_emulator.h"
#include "emulator/virtual_midi_system.h"
#include "fake_wait_clock.h"
#include "hex_diff.h"
#include "pedal_kit.h"
#include "songs/looper_song_data.h"

#include <gtest/gtest.h>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

constexpr uint32_t PULSE_RING = 0x2712;
constexpr uint32_t SMALL_WHEEL = 0x2713;
constexpr uint32_t DUAL_WHEEL = 0x2716;

// The PULSE RING's flash: 160 entries in a song's block chain, 64 pages of 4032 audio bytes
// in a block.
constexpr unsigned CHAIN = 160;
constexpr unsigned PAGE_DATA = 4032;
constexpr unsigned BLOCK_AUDIO = 64 * PAGE_DATA;

constexpr uint8_t CMD_ERASE = 0x21;
constexpr uint8_t CMD_WRITE = 0x22;
constexpr uint8_t CMD_READ = 0x23;
constexpr uint8_t CMD_CHECKSUM = 0x24;
constexpr uint8_t NAND = 1;
constexpr uint8_t PROGRAM_FLASH = 0;

// A pedal of one model on a virtual MIDI system installed as the program's, an open device
// link to it and a song store on that link. Every test ends by checking that no flash page
// was programmed twice without an erase.
class SongPedalTest : public ::testing::Test {
protected:
    SongPedalTest();
    ~SongPedalTest() override;
    void TearDown() override;

    // Plugs a fresh pedal of the product (empty flash) and opens the link to it; the
    // geometry is the program's for that product, if it stores songs. `port_name` tells a
    // second pedal of the model from the first.
    void connect(uint32_t product_id, const std::string& port_name = {});
    // Powers the pedal up again after a cut and reopens the link; the flash is kept.
    void reconnect();
    // Puts the link's reply waits on m_clock until the next connect or reconnect: once the
    // pedal has answered what it was sent, its silence (after a power cut) passes at once.
    void quick_timeouts();

    CPedalEmulator& pedal() { return *m_pedal; }
    CEmulatedFlash& nand() { return m_pedal->nand(); }
    const SNandFlashConfig& geometry() const { return *m_geometry; }

    // Update-mode commands logged since the last clear_command_log(), optionally only one kind.
    std::vector<SPedalCommandRecord> commands(int command = -1) const;
    // Erase and write commands, the operations a power cut can interrupt.
    size_t flash_operations() const;
    // Bytes the pedal's NAND holds at block/page/offset, read around the protocol.
    Bytes nand_bytes(unsigned block, unsigned page, unsigned offset, unsigned length);
    void program_nand(unsigned block, unsigned page, const Bytes& bytes);
    uint32_t address_of(unsigned block, unsigned page) const;

    // Writes `song` into the store's slot and reloads the store, as the window does.
    void store_song(unsigned slot, const Bytes& song);
    // The slot's song read back through the store (as long as the stored length).
    Bytes read_song(unsigned slot);

    // First: the link's input, which reads the clock, goes before it.
    CFakeWaitClock m_clock;
    CInstalledMidiSystem m_midi;
    std::unique_ptr<CPedalEmulator> m_pedal;
    CUSBConnect m_usb;
    // The store's journal; a connect starts it empty, a reconnect keeps it.
    CMemoryJournalStorage m_journal;
    CLooperSongData m_store{&m_usb};
    const SNandFlashConfig* m_geometry = nullptr;

private:
    // No page of either flash programmed twice without an erase.
    void check_flash_rules();
};

// One slot object of a format, bound to the first info block of a fresh pedal of PRODUCT,
// with the block set its loads mark.
template <class TSlot, uint32_t PRODUCT>
class SlotTest : public SongPedalTest {
protected:
    void SetUp() override
    {
        connect(PRODUCT);
        if (!HasFatalFailure())
            bind(slot);
    }
    unsigned info_block() const { return geometry().song_blocks; }
    // The slot format's own tests accept that a cut in an info block erase loses the song.
    void bind(TSlot& target)
    {
        target.set_nand_block(info_block(), geometry(), &m_usb);
        target.allow_rollover_without_journal();
    }
    ELooperActionResult write(TSlot& target, const Bytes& song, std::vector<unsigned short> chain)
    {
        return target.write_file(std::move(chain), song.data(), static_cast<unsigned>(song.size()), nullptr);
    }
    // A slot object loaded from the pedal as the store would make it.
    ELooperActionResult load_fresh(TSlot& target)
    {
        bind(target);
        return target.load_song_info(used);
    }
    // The whole song of a loaded slot object; empty when it cannot be read.
    Bytes read_back(TSlot& target)
    {
        Bytes song(target.get_file_length());
        if (target.read_file(song.data(), static_cast<unsigned>(song.size()), nullptr) != LOOPER_RESULT_OK)
            return {};
        return song;
    }

    TSlot slot;
    BlockStatus used;
};

// Reproducible audio-like bytes of the given length.
Bytes song_bytes(size_t length, unsigned seed);
// What a slot gives back for `song`: the current format keeps whole units only, the legacy
// format rounds up to a whole unit of zero-filled audio.
Bytes stored_form(const Bytes& song, uint32_t product);

// Info records built from their published layout, to plant on the pedal's NAND.
// n chain entries; entries past `chain` are 0xFFFF; the checksum is computed unless given.
Bytes hd_record(uint32_t units, const std::vector<uint16_t>& chain, unsigned n);
Bytes looper_record(bool has_song, uint16_t block, uint8_t page, uint8_t unit,
                    const std::vector<uint16_t>& chain);
