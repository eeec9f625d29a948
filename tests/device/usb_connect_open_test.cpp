#include "pedal_fixture.h"

#include "device/model_info.h"
#include "device/pedal_search.h"

#include <mutex>

namespace {

SPedalConfig pedal_config(uint32_t product_id, EPedalMode mode, uint32_t version = 0x00010203)
{
    SPedalConfig config;
    config.product_id = product_id;
    config.firmware_version = version;
    config.third_word = 0xA5C3E1F0;
    config.boot_mode = mode;
    return config;
}

const char* const UPDATE_FIRST =
    "You should enter update mode first! For how to enter update mode, please refer to the manual";

TEST_F(PedalTest, OpenInUpdateModeReadsTheInformationRecord)
{
    CPedalEmulator& pedal = add_pedal(pedal_config(0x2712, EPedalMode::UPDATE));
    ASSERT_TRUE(open_link(pedal));
    EXPECT_TRUE(m_link->is_in_update_mode());
    EXPECT_EQ(m_link->get_system_mode(), SYSTEM_MODE_UPDATE);
    EXPECT_EQ(m_link->firmware_version(), 0x00010203u);
    EXPECT_EQ(m_link->product_id(), 0x2712u);
    EXPECT_EQ(m_link->third_info_word(), 0xA5C3E1F0u);
    ASSERT_NE(m_link->model_info(), nullptr);
    EXPECT_STREQ(m_link->model_info()->model_name, "PULSE RING");
    EXPECT_TRUE(m_link->check_connect());
}

TEST_F(PedalTest, UnreadableInformationRecordStillOpensAndKeepsTheOldWords)
{
    CPedalEmulator& pedal = add_pedal(pedal_config(0x2713, EPedalMode::UPDATE));
    pedal.add_fault(SPedalFault::update(EPedalFaultKind::REFUSE, 0x23));
    ASSERT_TRUE(open_link(pedal));
    EXPECT_TRUE(m_link->is_in_update_mode());
    EXPECT_EQ(m_link->product_id(), CUSBConnect::UNKNOWN_INFO);
    ASSERT_NE(m_link->model_info(), nullptr);
    EXPECT_STREQ(m_link->model_info()->model_name, "Unknown Device");

    pedal.clear_faults();
    m_link->close();
    ASSERT_TRUE(open_link(pedal));
    EXPECT_EQ(m_link->product_id(), 0x2713u);
    m_link->close();
    pedal.add_fault(SPedalFault::update(EPedalFaultKind::REFUSE, 0x23));
    ASSERT_TRUE(open_link(pedal));
    EXPECT_EQ(m_link->product_id(), 0x2713u) << "a failed read leaves the words of the last device";
    EXPECT_EQ(m_link->firmware_version(), 0x00010203u);
}

TEST_F(PedalTest, OpenInApplicationModeReadsTheWordsByNibbles)
{
    CPedalEmulator& pedal = add_pedal(pedal_config(0x2714, EPedalMode::APP, 0x000A0B0C));
    ASSERT_TRUE(open_link(pedal));
    EXPECT_TRUE(m_link->is_in_app_mode());
    EXPECT_EQ(m_link->get_system_mode(), SYSTEM_MODE_APP);
    EXPECT_EQ(m_link->firmware_version(), 0x000A0B0Cu);
    EXPECT_EQ(m_link->product_id(), 0x2714u);
    EXPECT_EQ(m_link->third_info_word(), 0xA5C3E1F0u);
    pedal.wait_until_idle();
    for (uint8_t command = 0x13; command <= 0x1E; ++command)
        EXPECT_EQ(pedal.count_commands(EPedalMode::APP, command), 1u) << std::hex << int(command);
    EXPECT_TRUE(m_link->check_connect());
}

TEST_F(PedalTest, MissingNibbleReplySpoilsOnlyItsWord)
{
    CPedalEmulator& pedal = add_pedal(pedal_config(0x2714, EPedalMode::APP));
    pedal.add_fault(SPedalFault::app(EPedalFaultKind::NO_REPLY, 0x18));
    ASSERT_TRUE(open_link(pedal));
    EXPECT_EQ(m_link->firmware_version(), 0x00010203u);
    EXPECT_EQ(m_link->product_id(), CUSBConnect::UNKNOWN_INFO);
    EXPECT_EQ(m_link->third_info_word(), 0xA5C3E1F0u);
    pedal.wait_until_idle();
    EXPECT_EQ(pedal.count_commands(EPedalMode::APP, 0x19), 0u) << "the rest of the word is skipped";
    EXPECT_EQ(pedal.count_commands(EPedalMode::APP, 0x1B), 1u);
}

TEST_F(PedalTest, PairThatAnswersNeitherProbeIsClosed)
{
    CPedalEmulator& pedal = add_pedal(pedal_config(0x2712, EPedalMode::APP));
    pedal.add_fault(SPedalFault::app(EPedalFaultKind::NO_REPLY, 0x12));
    EXPECT_FALSE(open_link(pedal));
    EXPECT_EQ(m_link->port().transfer_mode(), TRANSFER_MODE_CLOSED);
}

TEST_F(PedalTest, CheckFailsOnceThePedalIsUnplugged)
{
    CPedalEmulator& pedal = add_pedal();
    ASSERT_TRUE(open_link(pedal));
    pedal.unplug();
    EXPECT_FALSE(m_link->check_connect());
}

TEST_F(PedalTest, SystemModeChangeSendsTheRequestOfTheCurrentMode)
{
    CPedalEmulator& pedal = add_pedal();
    ASSERT_TRUE(open_link(pedal));
    EXPECT_TRUE(m_link->set_system_mode(SYSTEM_MODE_UPDATE));
    pedal.wait_until_idle();
    EXPECT_EQ(pedal.count_commands(EPedalMode::UPDATE, 0x50), 0u) << "nothing to change";
    EXPECT_TRUE(m_link->set_system_mode(SYSTEM_MODE_APP));
    pedal.wait_until_idle();
    EXPECT_EQ(pedal.mode(), EPedalMode::APP);
    EXPECT_TRUE(m_link->is_in_update_mode()) << "the link's transfer mode stays";

    m_link->close();
    ASSERT_TRUE(open_link(pedal));
    ASSERT_TRUE(m_link->is_in_app_mode());
    EXPECT_TRUE(m_link->set_system_mode(SYSTEM_MODE_APP));
    EXPECT_TRUE(m_link->set_system_mode(SYSTEM_MODE_UPDATE));
    pedal.wait_until_idle();
    EXPECT_EQ(pedal.mode(), EPedalMode::UPDATE);
}

TEST_F(PedalTest, MicCommandsStoreAndReadBackValues)
{
    CPedalEmulator& pedal = add_pedal(pedal_config(0x2712, EPedalMode::APP));
    ASSERT_TRUE(open_link(pedal));
    unsigned char value = 0;
    ASSERT_TRUE(m_link->send_mic_core_cmd(static_cast<EMicSubCmd>(5), 0x42));
    ASSERT_TRUE(m_link->get_mic_core_status(static_cast<EMicSubCmd>(5), value));
    EXPECT_EQ(value, 0x42);
    ASSERT_TRUE(m_link->send_mic_app_cmd(9, 0x17));
    ASSERT_TRUE(m_link->get_mic_app_status(9, value));
    EXPECT_EQ(value, 0x17);
}

TEST_F(PedalTest, SearchOpensAPedalInUpdateMode)
{
    const CPedalEmulator& pedal = add_pedal(pedal_config(0x2712, EPedalMode::UPDATE));
    const SPedalSearch search = search_and_open_pedal(*m_link);
    EXPECT_TRUE(search.opened);
    EXPECT_EQ(search.port_name, pedal.port_name());
    EXPECT_TRUE(m_link->is_in_update_mode());
    EXPECT_EQ(m_link->product_id(), 0x2712u);
    EXPECT_TRUE(pedal_search_messages(search).isEmpty());
}

TEST_F(PedalTest, SearchAsksAReplugModelToReplug)
{
    CPedalEmulator& pedal = add_pedal(pedal_config(0x2711, EPedalMode::APP));
    const SPedalSearch search = search_and_open_pedal(*m_link);
    EXPECT_FALSE(search.opened);
    EXPECT_EQ(m_link->port().transfer_mode(), TRANSFER_MODE_CLOSED);
    EXPECT_EQ(pedal_search_messages(search),
              QStringList{"Please replug the USB cable to enter update mode!"});
    pedal.wait_until_idle();
    EXPECT_TRUE(pedal.replug_requested());
    ASSERT_EQ(pedal.count_commands(EPedalMode::APP, 0x21), 1u);
    const auto log = pedal.command_log();
    EXPECT_EQ(log.back().app_bytes, (std::array<uint8_t, 4>{0x59, 0x21, 0x00, 0x21}));
}

TEST_F(PedalTest, SearchTellsOtherApplicationModePedalsToEnterUpdateMode)
{
    for (const uint32_t product_id : {0x2712u, 0x2799u}) {
        CPedalEmulator& pedal = add_pedal(pedal_config(product_id, EPedalMode::APP));
        const SPedalSearch search = search_and_open_pedal(*m_link);
        EXPECT_FALSE(search.opened);
        EXPECT_EQ(m_link->port().transfer_mode(), TRANSFER_MODE_CLOSED);
        EXPECT_EQ(pedal_search_messages(search), QStringList{UPDATE_FIRST}) << std::hex << product_id;
        pedal.wait_until_idle();
        EXPECT_EQ(pedal.count_commands(EPedalMode::APP, 0x21), 0u);
        pedal.unplug();
    }
}

TEST_F(PedalTest, SearchProbesPairsInInputOrderAndStopsAtTheFirstInUpdateMode)
{
    SPedalConfig first = pedal_config(0x2712, EPedalMode::APP);
    first.port_name = "Looper A";
    SPedalConfig second = pedal_config(0x2716, EPedalMode::UPDATE);
    second.port_name = "Looper B";
    SPedalConfig third = pedal_config(0x2713, EPedalMode::UPDATE);
    third.port_name = "Looper C";
    CPedalEmulator& a = add_pedal(first);
    add_pedal(second);
    CPedalEmulator& c = add_pedal(third);
    const SPedalSearch search = search_and_open_pedal(*m_link);
    EXPECT_TRUE(search.opened);
    EXPECT_EQ(m_link->product_id(), 0x2716u);
    EXPECT_EQ(pedal_search_messages(search), QStringList{UPDATE_FIRST});
    a.wait_until_idle();
    EXPECT_EQ(a.count_commands(EPedalMode::APP, 0x12), 1u);
    c.wait_until_idle();
    EXPECT_TRUE(c.command_log().empty()) << "the search stops at the first pedal in update mode";
}

TEST_F(PedalTest, SearchTellsEveryApplicationModePedalInInputOrder)
{
    SPedalConfig first = pedal_config(0x2712, EPedalMode::APP);
    first.port_name = "Looper A";
    SPedalConfig second = pedal_config(0x2711, EPedalMode::APP);
    second.port_name = "Looper B";
    add_pedal(first);
    add_pedal(second);
    const SPedalSearch search = search_and_open_pedal(*m_link);
    EXPECT_FALSE(search.opened);
    EXPECT_EQ(search.notices,
              (std::vector<EPedalNotice>{EPedalNotice::ENTER_UPDATE_MODE, EPedalNotice::REPLUG}));
    EXPECT_EQ(pedal_search_messages(search),
              (QStringList{UPDATE_FIRST, "Please replug the USB cable to enter update mode!"}));
}

// Two pedals whose four ports all carry one name: input 1 is first tried with output 0,
// the other pedal's, which answers on an input nobody listens to; then with output 1.
TEST_F(PedalTest, SearchPairsPortsOfIdenticalPedalsByTrialInInputOrder)
{
    SPedalConfig first = pedal_config(0x2712, EPedalMode::APP);
    first.port_name = "Looper";
    SPedalConfig second = pedal_config(0x2716, EPedalMode::UPDATE);
    second.port_name = "Looper";
    CPedalEmulator& a = add_pedal(first);
    CPedalEmulator& b = add_pedal(second);
    const SPedalSearch search = search_and_open_pedal(*m_link);
    EXPECT_TRUE(search.opened);
    EXPECT_EQ(m_link->product_id(), 0x2716u);
    EXPECT_EQ(pedal_search_messages(search), QStringList{UPDATE_FIRST});
    a.wait_until_idle();
    EXPECT_EQ(a.count_commands(EPedalMode::APP, 0x12), 2u);
    b.wait_until_idle();
    EXPECT_EQ(b.count_commands(EPedalMode::UPDATE, 0x11), 1u);
}

TEST_F(PedalTest, SearchProbesOnlyPortsWhoseNamesMatchExactly)
{
    std::vector<std::vector<unsigned char>> to_synth;
    std::mutex to_synth_mutex;
    const auto keyboard = m_system.add_source("Keyboard");
    const auto synth = m_system.add_destination("Keyboard ", [&](const std::vector<unsigned char>& message) {
        std::lock_guard<std::mutex> lock(to_synth_mutex);
        to_synth.push_back(message);
    });
    const SPedalSearch search = search_and_open_pedal(*m_link);
    EXPECT_FALSE(search.opened);
    EXPECT_TRUE(pedal_search_messages(search).isEmpty());
    std::lock_guard<std::mutex> lock(to_synth_mutex);
    EXPECT_TRUE(to_synth.empty());
    m_system.unplug(keyboard);
    m_system.unplug(synth);
}

// The user reads the program's own words; the library's text is kept for the log.
TEST_F(PedalTest, SearchSaysWhenTheMidiServiceIsUnreachable)
{
    add_pedal();
    m_system.set_reachable(false);
    const SPedalSearch search = search_and_open_pedal(*m_link);
    EXPECT_FALSE(search.opened);
    EXPECT_EQ(search.midi_error, "error creating ALSA sequencer client object");
    EXPECT_EQ(pedal_search_messages(search), QStringList{midi_unreachable_text()});
    m_system.set_reachable(true);
}

struct SModelRow {
    unsigned int product_id;
    const char* name;
    unsigned int slot_count;
    ELooperSongFormat format;
    const SNandFlashConfig* nand;
    unsigned int replug;
};

void PrintTo(const SModelRow& row, std::ostream* os)
{
    *os << row.name << " 0x" << std::hex << row.product_id;
}

class ModelTable : public ::testing::TestWithParam<SModelRow> {};

TEST_P(ModelTable, FindsTheRowOfTheProductId)
{
    const SModelRow& row = GetParam();
    const SModelInfo* info = get_model_info(row.product_id);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->product_id, row.product_id);
    EXPECT_STREQ(info->model_name, row.name);
    EXPECT_EQ(info->song_slot_count, row.slot_count);
    EXPECT_EQ(info->song_format, row.format);
    EXPECT_EQ(info->nand, row.nand);
    EXPECT_EQ(info->replug, row.replug);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ModelTable,
    ::testing::Values(
        SModelRow{0xFFFFFFFF, "Unknown Device", 0, LOOPER_SONG_FORMAT_NONE, nullptr, 0},
        SModelRow{0x2711, "VX-20", 0, LOOPER_SONG_FORMAT_NONE, nullptr, 1},
        SModelRow{0x2712, "PULSE RING", 30, LOOPER_SONG_FORMAT_FILE, &g_sNand_256K_1970_BLOCKS, 0},
        SModelRow{0x2713, "SMALL WHEEL", 1, LOOPER_SONG_FORMAT_OLD, &g_sNand_128K_1980_MONO_BLOCKS, 0},
        SModelRow{0x2714, "ECHO DECK", 1, LOOPER_SONG_FORMAT_OLD, &g_sNand_128K_1980_MONO_BLOCKS, 0},
        SModelRow{0x2715, "TINY WHEEL", 1, LOOPER_SONG_FORMAT_OLD, &g_sNand_128K_1980_MONO_BLOCKS, 0},
        SModelRow{0x2716, "DUAL WHEEL", 1, LOOPER_SONG_FORMAT_OLD, &g_sNand_128K_1980_STEREO_BLOCKS, 0},
        SModelRow{0x2717, "VX-20", 0, LOOPER_SONG_FORMAT_NONE, nullptr, 1},
        SModelRow{0x2718, "VX-20", 0, LOOPER_SONG_FORMAT_NONE, nullptr, 1}));

TEST(ModelTableMisses, UnknownProductIdsHaveNoRow)
{
    EXPECT_EQ(get_model_info(0x2719), nullptr);
    EXPECT_EQ(get_model_info(0x2710), nullptr);
    EXPECT_EQ(get_model_info(0), nullptr);
}

}  // namespace
