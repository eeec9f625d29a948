#include "song_pedal.h"

#include "device/model_info.h"

#include <algorithm>
#include <random>

SongPedalTest::SongPedalTest()
{
    m_store.set_journal(&m_journal);
}

SongPedalTest::~SongPedalTest()
{
    m_usb.close();
    m_pedal.reset();
}

void SongPedalTest::TearDown()
{
    check_flash_rules();
}

void SongPedalTest::check_flash_rules()
{
    if (!m_pedal)
        return;
    EXPECT_EQ(m_pedal->nand().double_program_count(), 0u)
        << "a NAND page was programmed twice without an erase";
    EXPECT_EQ(m_pedal->program_flash().double_program_count(), 0u);
}

void SongPedalTest::connect(uint32_t product_id, const std::string& port_name)
{
    m_usb.close();
    m_usb.port().transfer().set_clock(nullptr);
    check_flash_rules();
    m_pedal.reset();
    m_journal = CMemoryJournalStorage();
    SPedalConfig config;
    config.product_id = product_id;
    config.port_name = port_name;
    m_pedal = std::make_unique<CPedalEmulator>(m_midi.system, config);
    ASSERT_TRUE(open_settled(m_usb.port().transfer(), *m_pedal, [this] {
        return m_usb.open(pedal_port_word(m_midi.system, m_pedal->port_name()), true);
    }));
    ASSERT_EQ(m_usb.product_id(), product_id);
    const SModelInfo* model = get_model_info(product_id);
    m_geometry = model ? model->nand : nullptr;
    m_pedal->clear_command_log();
}

void SongPedalTest::reconnect()
{
    m_usb.close();
    m_usb.port().transfer().set_clock(nullptr);
    m_pedal->power_cycle();
    ASSERT_TRUE(open_settled(m_usb.port().transfer(), *m_pedal, [this] {
        return m_usb.open(pedal_port_word(m_midi.system, m_pedal->port_name()), true);
    }));
    m_pedal->clear_command_log();
}

void SongPedalTest::quick_timeouts()
{
    m_clock.set_settle([this] { m_pedal->wait_until_idle(); });
    m_usb.port().transfer().set_clock(&m_clock);
}

std::vector<SPedalCommandRecord> SongPedalTest::commands(int command) const
{
    std::vector<SPedalCommandRecord> found;
    for (const SPedalCommandRecord& entry : m_pedal->command_log()) {
        if (entry.mode == EPedalMode::UPDATE && (command < 0 || entry.command == command))
            found.push_back(entry);
    }
    return found;
}

size_t SongPedalTest::flash_operations() const
{
    return commands(CMD_ERASE).size() + commands(CMD_WRITE).size();
}

uint32_t SongPedalTest::address_of(unsigned block, unsigned page) const
{
    return m_geometry->base_addr + block * m_geometry->block_size + page * m_geometry->page_size;
}

Bytes SongPedalTest::nand_bytes(unsigned block, unsigned page, unsigned offset, unsigned length)
{
    return m_pedal->nand().read(address_of(block, page) + offset, length);
}

void SongPedalTest::program_nand(unsigned block, unsigned page, const Bytes& bytes)
{
    ASSERT_TRUE(
        m_pedal->nand().program(address_of(block, page), bytes.data(), static_cast<uint32_t>(bytes.size())));
}

void SongPedalTest::store_song(unsigned slot, const Bytes& song)
{
    ASSERT_EQ(m_store.write_file(slot, song.data(), static_cast<unsigned>(song.size()), nullptr),
              LOOPER_RESULT_OK);
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
}

Bytes SongPedalTest::read_song(unsigned slot)
{
    Bytes song(m_store.get_file_length(slot));
    const ELooperActionResult result =
        m_store.read_file(slot, song.data(), static_cast<unsigned>(song.size()), nullptr);
    EXPECT_EQ(result, LOOPER_RESULT_OK);
    return song;
}

Bytes song_bytes(size_t length, unsigned seed)
{
    std::mt19937 generator(seed);
    Bytes song(length);
    std::generate(song.begin(), song.end(), [&] { return static_cast<uint8_t>(generator()); });
    return song;
}

Bytes stored_form(const Bytes& song, uint32_t product)
{
    const unsigned unit = get_model_info(product)->nand->unit_size;
    const bool legacy = get_model_info(product)->song_format == LOOPER_SONG_FORMAT_OLD;
    Bytes stored = song;
    stored.resize((legacy ? (song.size() + unit - 1) / unit : song.size() / unit) * unit, 0x00);
    return stored;
}

namespace {

void put16(Bytes& bytes, size_t at, uint16_t value)
{
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace

Bytes hd_record(uint32_t units, const std::vector<uint16_t>& chain, unsigned n)
{
    Bytes record(2 * n + 9, 0xFF);
    record[0] = 'H';
    record[1] = 'D';
    for (int i = 0; i < 4; ++i)
        record[3 + i] = static_cast<uint8_t>(units >> (8 * i));
    for (size_t i = 0; i < chain.size(); ++i)
        put16(record, 7 + 2 * i, chain[i]);
    unsigned sum = 0;
    for (size_t i = 2; i < 7 + 2 * n; ++i)
        sum += record[i];
    put16(record, 7 + 2 * n, static_cast<uint16_t>(sum));
    return record;
}

Bytes looper_record(bool has_song, uint16_t block, uint8_t page, uint8_t unit,
                    const std::vector<uint16_t>& chain)
{
    Bytes record(2624, 0xFF);
    const char tag[7] = {'l', 'o', 'o', 'p', 'e', 'r', 0};
    std::copy(tag, tag + 7, record.begin());
    std::copy(tag, tag + 7, record.begin() + 2616);
    record[8] = has_song ? 1 : 0;
    put16(record, 10, 0);
    put16(record, 12, block);
    record[14] = page;
    record[15] = unit;
    for (size_t i = 0; i < chain.size(); ++i)
        put16(record, 16 + 2 * i, chain[i]);
    return record;
}
