#include "pedal_fixture.h"

namespace {

SPedalConfig pedal_with(uint32_t product_id, uint32_t version, uint32_t third_word, EPedalMode mode)
{
    SPedalConfig config;
    config.product_id = product_id;
    config.firmware_version = version;
    config.third_word = third_word;
    config.boot_mode = mode;
    return config;
}

}  // namespace

// How the pedal is set up before the query, and whether it then answers inside the host's
// send (on the host's thread) or from threads of its own.
struct SAnswerThreadCase {
    const char* name;
    void (*arm)(CPedalEmulator& pedal);
    bool in_send;
};

class PedalAnswerThreadTest : public PedalTest, public ::testing::WithParamInterface<SAnswerThreadCase> {};

INSTANTIATE_TEST_SUITE_P(
    Setups, PedalAnswerThreadTest,
    ::testing::Values(
        SAnswerThreadCase{"InstantWithNothingArmed", [](CPedalEmulator&) {}, true},
        SAnswerThreadCase{"ReplyLatency",
                          [](CPedalEmulator& pedal) { pedal.set_reply_latency(std::chrono::microseconds(1)); },
                          false},
        SAnswerThreadCase{"FaultArmedForAnotherCommand",
                          [](CPedalEmulator& pedal) {
                              pedal.add_fault(SPedalFault::update(EPedalFaultKind::NO_REPLY, 0x23));
                          },
                          false},
        SAnswerThreadCase{"PowerCutArmed", [](CPedalEmulator& pedal) { pedal.cut_power_at_flash_operation(1); },
                          false},
        SAnswerThreadCase{"Paced", [](CPedalEmulator& pedal) { pedal.set_timing(SPedalTiming::realistic()); },
                          false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(PedalAnswerThreadTest, AnswersTheQueryExampleWithA34ByteReply)
{
    start(pedal_with(0x2713, 0x00010203, 0, EPedalMode::UPDATE));
    GetParam().arm(*pedal);
    host->send(hex_bytes("F0 59 00 44 00 00 00 40 7F F7"));
    const auto reply = host->next_bytes(true);
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->size(), 34u);
    EXPECT_EQ(Bytes(reply->begin(), reply->begin() + 6), hex_bytes("59 00 11 1B 00 00"));
    EXPECT_EQ(reply->back(), pedal_wire::checksum(reply->data() + 6, 27));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reply->data() + 6)), "SMALL WHEEL");
    EXPECT_EQ(pedal_wire::get_le(reply->data() + 22, 4), 0x00010203u);
    EXPECT_EQ(host->callback_ran_on(std::this_thread::get_id()), GetParam().in_send);
}

TEST_F(PedalTest, ReadsTheInformationRecordAsInTheReadExample)
{
    start(pedal_with(0x2713, 0x00010203, 0x55, EPedalMode::UPDATE));
    const Bytes reply = request_raw(hex_bytes("59 00 23 08 00 00 00 80 21 00 00 10 00 00 4E"));
    const Bytes expected = hex_bytes(
        "59 00 23 18 00 00 00 80 21 00 00 10 00 00 03 02 01 00 13 27 00 00 55 00 00 00 00 00 00 00 B9");
    EXPECT_EQ(reply, expected) << hex_diff(reply, expected);
}

TEST_F(PedalTest, WritesChecksumsAndErasesTheNandAsInTheWriteExample)
{
    start();
    const Bytes done = request_raw(hex_bytes("59 00 22 0B 00 00 01 00 08 00 00 03 00 00 10 20 30 93"));
    EXPECT_EQ(done, hex_bytes("59 00 00 01 00 00 00 FF"))
        << hex_diff(done, hex_bytes("59 00 00 01 00 00 00 FF"));
    EXPECT_EQ(pedal->nand().read(0x800, 4), hex_bytes("10 20 30 FF"));

    const Bytes sum = request(0x24, checksum(1, 0x800, 3));
    const Bytes expected = hex_bytes("59 00 24 0B 00 00 01 00 08 00 00 03 00 00 00 60 00 93");
    EXPECT_EQ(sum, expected) << hex_diff(sum, expected);

    EXPECT_EQ(request(0x21, erase(1, 0x801)), status(0));
    EXPECT_EQ(pedal->nand().read(0x800, 3), hex_bytes("FF FF FF"));
    EXPECT_EQ(pedal->nand().stored_page_count(), 0u);
}

TEST_F(PedalTest, ProgramFlashErasesOneSectorOfTwoKilobytes)
{
    start();
    const Bytes zeros(3 * 2048, 0x00);
    ASSERT_TRUE(pedal->program_flash().program(0x10000, zeros.data(), 3 * 2048));
    EXPECT_EQ(request(0x21, erase(0, 0x10800)), status(0));
    EXPECT_EQ(pedal->program_flash().read(0x107FF, 2), hex_bytes("00 FF"));
    EXPECT_EQ(pedal->program_flash().read(0x10FFF, 2), hex_bytes("FF 00"));
    EXPECT_EQ(request(0x22, write(0, 0x10800, hex_bytes("00 00"))), status(0));
    EXPECT_EQ(request(0x21, erase(0, 0x100000)), status(2)) << "1 MiB ends the program flash";
}

TEST_F(PedalTest, ProgrammingTheSamePageTwiceAndsTheDataAndIsCounted)
{
    start();
    const Bytes chunk(5120, 0xF0);
    EXPECT_EQ(request(0x22, write(1, 0, chunk)), status(0));
    EXPECT_EQ(request(0x22, write(1, 4096, Bytes(8, 0x3C))), status(0));
    EXPECT_EQ(pedal->nand().double_program_count(), 1u);
    const Bytes back = request(0x23, read(1, 4094, 12));
    ASSERT_EQ(back.size(), 12u + 15u);
    EXPECT_EQ(Bytes(back.begin() + 14, back.end() - 1), hex_bytes("F0 F0 30 30 30 30 30 30 30 30 F0 F0"));
}

TEST_F(PedalTest, LargestReadAndWriteFitThePedalsBuffer)
{
    start();
    Bytes data(5120);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    EXPECT_EQ(request(0x22, write(0, 0x80000, data)), status(0));
    const Bytes back = request(0x23, read(0, 0x80000, 5105));
    ASSERT_EQ(back.size(), 5105u + 15u);
    EXPECT_TRUE(std::equal(back.begin() + 14, back.end() - 1, data.begin()));
}

struct SRejectCase {
    const char* name;
    Bytes packet;
    uint8_t status;
};

class PedalRejects : public PedalTest, public ::testing::WithParamInterface<SRejectCase> {};

TEST_P(PedalRejects, AnswersANonZeroStatusAndChangesNothing)
{
    start();
    const Bytes reply = request_raw(GetParam().packet);
    EXPECT_EQ(reply, status(GetParam().status)) << hex_diff(reply, status(GetParam().status));
    EXPECT_EQ(pedal->nand().stored_page_count(), 0u);
    EXPECT_EQ(pedal->mode(), EPedalMode::UPDATE);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, PedalRejects,
    ::testing::Values(
        SRejectCase{"BadChecksum", hex_bytes("59 00 22 0B 00 00 01 00 08 00 00 03 00 00 10 20 30 94"), 3},
        SRejectCase{"LengthFieldPastTheBytes", hex_bytes("59 00 23 09 00 00 00 80 21 00 00 10 00 00 4E"), 4},
        SRejectCase{"WriteCountDisagreesWithLength",
                    pedal_wire::make_packet(0x22, hex_bytes("01 00 08 00 00 04 00 00 10 20 30")), 4},
        SRejectCase{"ReadOverTheReplyBuffer",
                    pedal_wire::make_packet(0x23, hex_bytes("00 00 00 00 00 F2 13 00")), 4},
        SRejectCase{"ModeChangeWithoutItsKey", pedal_wire::make_packet(0x50, hex_bytes("7F 7E")), 4},
        SRejectCase{"NandEraseBeyondTheChip", pedal_wire::make_packet(0x21, hex_bytes("01 00 00 40 1F")), 2},
        SRejectCase{"WriteRunningOffTheProgramFlash",
                    pedal_wire::make_packet(0x22, hex_bytes("00 FF FF 0F 00 02 00 00 00 00")), 2},
        SRejectCase{"UnknownFlashType", pedal_wire::make_packet(0x21, hex_bytes("02 00 00 00 00")), 5},
        SRejectCase{"UnknownCommand", pedal_wire::make_packet(0x30, hex_bytes("00")), 5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PedalTest, IgnoresMessagesThatAreNotItsPackets)
{
    start();
    host->send({0x90, 0x40, 0x7F});
    host->send_bytes(hex_bytes("12 34 11 00 00 00 FF"), true);
    expect_silence();
    EXPECT_TRUE(pedal->command_log().empty());
}

TEST_F(PedalTest, TakesTheHostsStatusPacketWithoutAnswering)
{
    start();
    host->send_bytes(hex_bytes("59 00 00 01 00 00 00 FF"), true);
    expect_silence();
    EXPECT_EQ(pedal->count_commands(EPedalMode::UPDATE, 0x00), 1u);
    EXPECT_EQ(request(0x11, {}).size(), 34u);
}

TEST_F(PedalTest, ModeChangeExampleSwitchesToApplicationModeSilently)
{
    start();
    host->send_bytes(hex_bytes("59 00 50 02 00 00 7F 7F 01"), true);
    expect_silence();
    EXPECT_EQ(pedal->mode(), EPedalMode::APP);
    EXPECT_EQ(app_request("59 12 00 34"), hex_bytes("59 12 00 34"));
}

TEST_F(PedalTest, ApplicationModeAnswersTheInformationNibbles)
{
    start(pedal_with(0x2712, 0x00020A0F, 0xA1B2C3D4, EPedalMode::APP));
    uint32_t words[3] = {0, 0, 0};
    for (uint8_t xx = 0x13; xx <= 0x1E; ++xx) {
        host->send_bytes({0x59, xx, 0x00, 0x00}, false);
        const auto answer = host->next_bytes(false);
        ASSERT_TRUE(answer && answer->size() == 4);
        ASSERT_EQ((*answer)[1], xx);
        const unsigned k = xx - 0x13u;
        words[k / 4] |= static_cast<uint32_t>(((*answer)[3] & 0x0F) * 16 + ((*answer)[2] & 0x0F))
                        << (8 * (k % 4));
    }
    EXPECT_EQ(words[0], 0x00020A0Fu);
    EXPECT_EQ(words[1], 0x2712u);
    EXPECT_EQ(words[2], 0xA1B2C3D4u);
}

TEST_F(PedalTest, ReenumerationRequestBringsThePedalBackInUpdateModeWhenReplugged)
{
    start(pedal_with(0x2711, 0x00010000, 0, EPedalMode::APP));
    host->send_bytes(hex_bytes("59 21 00 21"), false);
    expect_silence();
    EXPECT_TRUE(pedal->replug_requested());
    EXPECT_EQ(pedal->mode(), EPedalMode::APP);

    host.reset();
    pedal->unplug();
    pedal->plug();
    EXPECT_EQ(pedal->mode(), EPedalMode::UPDATE);
    EXPECT_FALSE(pedal->replug_requested());
    host = std::make_unique<CHostPortPair>(system, "VX-20");
    EXPECT_EQ(request(0x11, {}).size(), 34u);

    host.reset();
    pedal->unplug();
    pedal->plug();
    EXPECT_EQ(pedal->mode(), EPedalMode::APP) << "without a request it boots as configured";
}

TEST_F(PedalTest, ApplicationModeSwitchAndMicCommands)
{
    start(pedal_with(0x2712, 0, 0, EPedalMode::APP));
    host->send_bytes(hex_bytes("59 30 05 2A"), false);
    EXPECT_EQ(app_request("59 31 05 00"), hex_bytes("59 31 05 2A"));
    EXPECT_EQ(app_request("59 41 05 00"), hex_bytes("59 41 05 00"));
    host->send_bytes(hex_bytes("59 50 7F 7F"), false);
    expect_silence();
    EXPECT_EQ(pedal->mode(), EPedalMode::UPDATE);
}

TEST_F(PedalTest, LogsEveryRequestItUnderstood)
{
    start();
    static_cast<void>(request(0x21, erase(1, 0x40000)));
    static_cast<void>(request(0x23, read(0, 0x2180, 16)));
    static_cast<void>(request(0x24, checksum(1, 0x40000, 0x12345)));
    pedal->set_mode(EPedalMode::APP);
    static_cast<void>(app_request("59 12 00 34"));

    const auto log = pedal->command_log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].command, 0x21);
    EXPECT_EQ(log[0].address, 0x40000u);
    EXPECT_EQ(log[1].flash_type, 0);
    EXPECT_EQ(log[1].length, 16u);
    EXPECT_EQ(log[2].length, 0x12345u);
    EXPECT_EQ(log[3].mode, EPedalMode::APP);
    EXPECT_EQ(log[3].app_bytes, (std::array<uint8_t, 4>{0x59, 0x12, 0x00, 0x34}));
    EXPECT_EQ(pedal->count_commands(EPedalMode::UPDATE, 0x23), 1u);
    pedal->clear_command_log();
    EXPECT_TRUE(pedal->command_log().empty());
}

TEST_F(PedalTest, TwoPedalsWithEqualNamesAnswerOnTheirOwnPorts)
{
    start(pedal_with(0x2714, 0x00010000, 0, EPedalMode::UPDATE));
    CPedalEmulator second(system, pedal_with(0x2714, 0x00020000, 0, EPedalMode::UPDATE));
    CHostPortPair other(system, "ECHO DECK", 1);
    other.send_bytes(pedal_wire::make_packet(0x23, read(0, 0x2180, 4)), true);
    const auto reply = other.next_bytes(true);
    ASSERT_TRUE(reply && reply->size() == 19u);
    EXPECT_EQ(pedal_wire::get_le(reply->data() + 14, 4), 0x00020000u);
    EXPECT_EQ(pedal->command_log().size(), 0u);
}

struct SModelCase {
    uint32_t product_id;
    const char* name;
    uint32_t block_size;
    uint32_t blocks;
};

class PedalModels : public PedalTest, public ::testing::WithParamInterface<SModelCase> {};

TEST_P(PedalModels, NandHoldsEverySongAndInfoBlockAndNothingBeyond)
{
    const auto& model = GetParam();
    start(pedal_with(model.product_id, 0x00010000, 0, EPedalMode::UPDATE));
    EXPECT_EQ(pedal->port_name(), model.name);
    EXPECT_EQ(pedal->nand().size(), uint64_t{model.block_size} * model.blocks);
    const uint32_t last_block = (model.blocks - 1) * model.block_size;
    EXPECT_EQ(request(0x21, erase(1, last_block)), status(0));
    EXPECT_EQ(request(0x21, erase(1, last_block + model.block_size)), status(2));
}

INSTANTIATE_TEST_SUITE_P(ProductIds, PedalModels,
                         ::testing::Values(SModelCase{0x2711, "VX-20", 131072, 1024},
                                           SModelCase{0x2712, "PULSE RING", 262144, 2000},
                                           SModelCase{0x2713, "SMALL WHEEL", 131072, 1981},
                                           SModelCase{0x2714, "ECHO DECK", 131072, 1981},
                                           SModelCase{0x2715, "TINY WHEEL", 131072, 1981},
                                           SModelCase{0x2716, "DUAL WHEEL", 262144, 1981},
                                           SModelCase{0x2717, "VX-20", 131072, 1024},
                                           SModelCase{0x2718, "VX-20", 131072, 1024},
                                           SModelCase{0x2719, "Unknown Pedal", 131072, 1024}),
                         [](const auto& info) { return "Id" + std::to_string(info.param.product_id); });
