#include "core_pedal.h"

#include "audio/wave.h"
#include "device/device_packet.h"
#include "device/nand_flash_config.h"
#include "library/song_library.h"
#include "songs/song_journal.h"

#include <cmath>
#include <vector>

void CorePedal::connect(uint32_t product_id)
{
    ASSERT_TRUE(m_files.isValid());
    m_session.set_journal_storage(std::make_unique<CMemoryJournalStorage>());
    // Each test's own library: what another test recorded for its pedal's slots stays there.
    m_session.set_library(std::make_unique<CSongLibrary>(m_data.filePath("library.sqlite")));
    SPedalConfig config;
    config.product_id = product_id;
    m_pedal = std::make_unique<CPedalEmulator>(m_midi.system, config);
    ASSERT_TRUE(open_settled(m_session.link().port().transfer(), *m_pedal,
                             [this] { return m_session.search_and_open(); }));
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
}

void CorePedal::write_tone(const QString& path, unsigned int frames) const
{
    std::vector<int16_t> samples(frames);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440.0 * double(i) / 44100));
    CWave wave;
    wave.BuildFormat(1, 44100, 16);
    wave.SetBuffer(samples.data(), frames, true);
    ASSERT_TRUE(wave.Save(path));
}

std::vector<unsigned char> CorePedal::stored_song(unsigned slot)
{
    std::vector<unsigned char> song(m_session.songs().get_file_length(slot));
    EXPECT_EQ(m_session.songs().read_file(slot, song.data(), static_cast<unsigned>(song.size()), nullptr),
              LOOPER_RESULT_OK);
    return song;
}

size_t CorePedal::audio_page_commands() const
{
    const SNandFlashConfig& nand = *m_session.song_format();
    size_t count = 0;
    for (const SPedalCommandRecord& entry : m_pedal->command_log())
        count += entry.mode == EPedalMode::UPDATE && entry.flash_type == FLASH_TYPE_NAND &&
                 (entry.command == kErase || entry.command == kWrite || entry.command == kRead) &&
                 entry.address / nand.block_size < nand.song_blocks;
    return count;
}

CCancelAtStep::CCancelAtStep(CTask& task, CPedalEmulator& pedal, int at)
    : m_task(task), m_pedal(pedal), m_at(at)
{
    m_task.set_listener([this] {
        if (++steps != m_at)
            return;
        m_pedal.wait_until_idle();
        commands_at_cancel = m_pedal.command_log().size();
        m_task.cancel();
    });
}
